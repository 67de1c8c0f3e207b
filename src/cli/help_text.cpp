#include "cli/help_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>

#include "cli/option_table.h"
#include "cli/preset_lookup.h"

#ifndef QUORVELIN_VERSION
#error "the build defines QUORVELIN_VERSION"
#endif

namespace qv::cli {

namespace {

// Where the further lines of a description start, and a group's note.
constexpr std::size_t kContinuationColumn = 26;

// Characters, not bytes: argument names hold Polish letters.
std::size_t displayWidth(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// "-o, --output PLIK", "--resize SZERxWYS".
std::string optionLabel(const OptionInfo& info)
{
    std::string label = info.shortName ? std::string{'-', info.shortName, ',', ' '} : std::string();
    label.append("--").append(info.longName);
    if (info.takesValue())
        label.append(" ").append(info.argument);
    return label;
}

std::string descriptionOf(const OptionInfo& info)
{
    std::string text(info.help);
    if (const std::size_t slot = text.find(kPresetListSlot); slot != std::string::npos)
        text.replace(slot, kPresetListSlot.size(), presetListText());
    return text;
}

// The lines of one option and of the options without a description of their
// own that follow it (from options[i] on); returns the index of the last one.
std::size_t appendOption(std::string& text, std::span<const OptionInfo> options, std::size_t i)
{
    const OptionInfo& info = options[i];
    std::string line = (info.shortName ? "  " : "      ") + optionLabel(info);
    while (i + 1 < options.size() && options[i + 1].help.empty())
        line.append(", ").append(optionLabel(options[++i]));
    const std::size_t width = displayWidth(line);
    const std::size_t column = static_cast<std::size_t>(info.group->descriptionColumn);
    line.append(width < column ? column - width : 2, ' ');

    const std::string description = descriptionOf(info);
    std::size_t start = 0;
    for (std::size_t end; (end = description.find('\n', start)) != std::string::npos; start = end + 1)
        line.append(description, start, end - start).append("\n").append(kContinuationColumn, ' ');
    text.append(line).append(description, start).append("\n");
    return i;
}

void appendNote(std::string& text, const OptionGroup* group)
{
    if (group && !group->note.empty())
        text.append(kContinuationColumn, ' ').append(group->note).append("\n");
}

}  // namespace

std::string helpText()
{
    std::string text = "Użycie: quorvelin-cli [opcje] PLIK... -o WYNIK\n"
                       "       quorvelin-cli [opcje] --each PLIK... -d FOLDER\n"
                       "\n"
                       "Przetwarza obraz (kilka plików: ekspozycje jednej sceny, łączone w jeden obraz)\n"
                       "tak jak program i zapisuje wynik.\n";
    const std::span<const OptionInfo> options = optionTable();
    const OptionGroup* group = nullptr;
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i].group != group) {
            appendNote(text, group);
            group = options[i].group;
            text.append("\n").append(group->heading).append("\n");
        }
        i = appendOption(text, options, i);
    }
    appendNote(text, group);
    return text + "\n"
                  "Kod wyjścia: 0 gotowe, 1 błąd wczytywania, przetwarzania lub zapisu,\n"
                  "2 błędne wywołanie, 130 przerwane (Ctrl+C).\n";
}

std::string versionText(std::string_view dotted)
{
    std::array<int, 4> parts{};
    std::size_t start = 0;
    for (int& part : parts) {
        if (start > dotted.size())
            break;
        const std::size_t dot = std::min(dotted.find('.', start), dotted.size());
        std::from_chars(dotted.data() + start, dotted.data() + dot, part);
        start = dot + 1;
    }
    std::string text = std::to_string(parts[0]) + "." + std::to_string(parts[1]);
    if (parts[2] != 0)
        text.append(".").append(std::to_string(parts[2]));
    if (parts[3] != 0)
        text.append(" (build ").append(std::to_string(parts[3])).append(")");
    return text;
}

std::string versionLine() { return "Quorvelin " + versionText(QUORVELIN_VERSION); }

}  // namespace qv::cli
