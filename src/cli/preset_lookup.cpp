#include "cli/preset_lookup.h"

#include <array>
#include <charconv>

namespace qv::cli {

namespace {

// Polish letters in UTF-8 (both cases) and the plain lower-case letter each
// is matched as.
struct Diacritic {
    std::string_view utf8;
    char plain;
};
constexpr std::array<Diacritic, 18> kDiacritics{{
    {"ą", 'a'}, {"Ą", 'a'}, {"ć", 'c'}, {"Ć", 'c'}, {"ę", 'e'}, {"Ę", 'e'},
    {"ł", 'l'}, {"Ł", 'l'}, {"ń", 'n'}, {"Ń", 'n'}, {"ó", 'o'}, {"Ó", 'o'},
    {"ś", 's'}, {"Ś", 's'}, {"ź", 'z'}, {"Ź", 'z'}, {"ż", 'z'}, {"Ż", 'z'},
}};

// The form in which names are compared: lower case, Polish letters as their
// plain counterparts, the menu's doubled ampersand as one.
std::string matchingForm(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const Diacritic& d : kDiacritics) {
            if (text.substr(i, d.utf8.size()) == d.utf8) {
                out += d.plain;
                i += d.utf8.size();
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        if (text.substr(i, 2) == "&&") {
            out += '&';
            i += 2;
            continue;
        }
        const char c = text[i++];
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

}  // namespace

const TonePreset* findPreset(std::string_view nameOrNumber)
{
    int number = 0;
    const char* end = nameOrNumber.data() + nameOrNumber.size();
    const auto parsed = std::from_chars(nameOrNumber.data(), end, number);
    if (parsed.ec == std::errc() && parsed.ptr == end)
        return number >= 1 && number <= kPresetCount ? &tonePresets()[number - 1] : nullptr;

    const std::string wanted = matchingForm(nameOrNumber);
    for (const TonePreset& preset : tonePresets())
        if (matchingForm(preset.menuText) == wanted)
            return &preset;
    return nullptr;
}

std::string presetListText()
{
    std::string text;
    for (int i = 0; i < kPresetCount; ++i) {
        if (i > 0)
            text += ", ";
        text += std::to_string(i + 1) + " " + presetDisplayName(tonePresets()[i]);
    }
    return text;
}

}  // namespace qv::cli
