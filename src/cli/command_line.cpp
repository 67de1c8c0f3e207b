#include "cli/command_line.h"

#include <algorithm>
#include <array>
#include <set>
#include <cctype>
#include <charconv>
#include <string_view>

#include "cli/option_table.h"
#include "cli/preset_lookup.h"

namespace qv::cli {

namespace {

constexpr int kMaxWorkers = 20;
constexpr int kMaxBoxSide = 100000;

const OptionInfo* findLong(std::string_view name)
{
    for (const OptionInfo& info : optionTable())
        if (info.longName == name)
            return &info;
    return nullptr;
}

const OptionInfo* findShort(char name)
{
    for (const OptionInfo& info : optionTable())
        if (info.shortName != 0 && info.shortName == name)
            return &info;
    return nullptr;
}

// "-q/--quality" or "--resize": how messages name an option.
std::string optionName(const OptionInfo& info)
{
    const std::string name = std::string("--").append(info.longName);
    return info.shortName ? std::string{'-', info.shortName, '/'}.append(name) : name;
}

std::string quoted(std::string_view text) { return "„" + std::string(text) + "”"; }

std::optional<int> parseInt(std::string_view text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string fieldNamesText()
{
    std::string text;
    for (const ToneField& f : toneFields())
        text += (text.empty() ? "" : ", ") + std::string(f.name);
    return text;
}

// The field of that name, exact first, then ignoring letter case.
const ToneField* fieldNamed(std::string_view name)
{
    if (const ToneField* exact = findToneField(name))
        return exact;
    for (const ToneField& f : toneFields())
        if (lowerAscii(f.name) == lowerAscii(name))
            return &f;
    return nullptr;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParseResult run()
    {
        bool optionsEnded = false;
        for (next_ = 0; next_ < args_.size() && result_.ok() && result_.action == CliAction::Run;) {
            const std::string& arg = args_[next_++];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-')
                result_.options.inputs.push_back(arg);
            else if (arg == "--")
                optionsEnded = true;
            else
                readOption(arg);
        }
        if (result_.ok() && result_.action == CliAction::Run)
            checkCombination();
        return result_;
    }

private:
    void fail(std::string message)
    {
        if (result_.ok())
            result_.error = std::move(message);
    }

    // A whole number within [min, max]; otherwise the failure says the range.
    std::optional<int> ranged(std::string_view text, int min, int max, const std::string& what)
    {
        const std::optional<int> value = parseInt(text);
        if (value && *value >= min && *value <= max)
            return value;
        fail(what + " musi być liczbą od " + std::to_string(min) + " do " + std::to_string(max) + " (podano " +
             quoted(text) + ")");
        return std::nullopt;
    }

    void readOption(const std::string& arg)
    {
        const OptionInfo* info = nullptr;
        std::optional<std::string> attached;
        if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            const std::size_t nameEnd = equals == std::string::npos ? arg.size() : equals;
            info = findLong(std::string_view(arg).substr(2, nameEnd - 2));
            if (equals != std::string::npos)
                attached = arg.substr(equals + 1);
        } else {
            info = findShort(arg[1]);
            if (arg.size() > 2)
                attached = arg.substr(2);
        }
        if (!info)
            return fail("nieznana opcja " + quoted(arg) + " (lista opcji: --help)");
        if (!info->takesValue()) {
            if (attached)
                return fail("opcja " + optionName(*info) + " nie przyjmuje wartości (podano " + quoted(arg) + ")");
            return apply(*info, {});
        }
        if (!attached) {
            if (next_ >= args_.size())
                return fail("opcja " + optionName(*info) + " wymaga wartości");
            attached = args_[next_++];
        }
        apply(*info, *attached);
    }

    void apply(const OptionInfo& info, const std::string& value)
    {
        CliOptions& o = result_.options;
        const std::string name = optionName(info);
        // A file or folder named twice leaves the user guessing which one counts.
        const bool namesAPlace = info.id == Opt::Output || info.id == Opt::Settings ||
                                 info.id == Opt::SaveSettings || info.id == Opt::Dir;
        if (namesAPlace && !placesGiven_.insert(info.id).second)
            return fail("opcja " + name + " podana więcej niż raz");
        switch (info.id) {
        case Opt::Output: o.output = value; break;
        case Opt::Type: readType(name, value); break;
        case Opt::Quality: o.jpegQuality = ranged(value, 0, 100, name + ": jakość JPEG"); break;
        case Opt::Resize: readResize(name, value); break;
        case Opt::Preset:
            o.tone.preset = findPreset(value);
            if (!o.tone.preset)
                fail(name + ": nieznany preset " + quoted(value) + "; dostępne: " + presetListText());
            break;
        case Opt::Settings: o.tone.settingsFile = value; break;
        case Opt::Set: readAssignment(name, value); break;
        case Opt::Preview: readPreview(name, value); break;
        case Opt::RawNr: o.rawNoiseReduction = true; break;
        case Opt::NoRawNr: o.rawNoiseReduction = false; break;
        case Opt::RawAutoWb: o.rawAutoWhiteBalance = true; break;
        case Opt::NoRawAutoWb: o.rawAutoWhiteBalance = false; break;
        case Opt::LightRecovery: o.lightRecovery = true; break;
        case Opt::NoLightRecovery: o.lightRecovery = false; break;
        case Opt::NoCompanion: o.tone.companion = false; break;
        case Opt::Factory: o.tone.factory = true; break;
        case Opt::SaveSettings: o.saveSettingsPath = value; break;
        case Opt::Threads: o.threads = ranged(value, 1, kMaxWorkers, name + ": liczba wątków"); break;
        case Opt::Each: o.each = true; break;
        case Opt::Dir: o.outputDir = value; break;
        case Opt::Quiet: o.quiet = true; break;
        case Opt::Timings: o.timings = true; break;
        case Opt::Help: result_.action = CliAction::Help; break;
        case Opt::Version: result_.action = CliAction::Version; break;
        }
    }

    void readType(const std::string& name, const std::string& value)
    {
        const std::string type = lowerAscii(value);
        if (type == "jpeg" || type == "jpg")
            typeGiven_ = SaveFileType::Jpeg;
        else if (type == "tiff8")
            typeGiven_ = SaveFileType::Tiff8;
        else if (type == "tiff16")
            typeGiven_ = SaveFileType::Tiff16;
        else
            fail(name + ": nieznany typ " + quoted(value) + "; dozwolone: jpeg, tiff8, tiff16");
    }

    void readPreview(const std::string& name, const std::string& value)
    {
        static constexpr std::array<std::string_view, 4> kModes{"full", "800", "1280", "2048"};
        const auto it = std::find(kModes.begin(), kModes.end(), lowerAscii(value));
        if (it == kModes.end())
            return fail(name + ": nieznany rozmiar " + quoted(value) + "; dozwolone: full, 800, 1280, 2048");
        result_.options.previewMode = static_cast<int>(it - kModes.begin());
    }

    void readResize(const std::string& name, const std::string& value)
    {
        const std::size_t x = lowerAscii(value).find('x');
        const std::string_view text(value);
        const std::optional<int> w = x == std::string::npos ? std::nullopt : parseInt(text.substr(0, x));
        const std::optional<int> h = x == std::string::npos ? std::nullopt : parseInt(text.substr(x + 1));
        if (!w || !h || *w < 1 || *h < 1 || *w > kMaxBoxSide || *h > kMaxBoxSide)
            return fail(name + ": oczekiwano SZEROKOŚĆxWYSOKOŚĆ, każda od 1 do " + std::to_string(kMaxBoxSide) +
                        ", np. 1920x1080 (podano " + quoted(value) + ")");
        result_.options.resizeBox = ImageSize{*w, *h};
    }

    void readAssignment(const std::string& name, const std::string& value)
    {
        const std::size_t equals = value.find('=');
        if (equals == std::string::npos)
            return fail(name + ": oczekiwano Pole=Wartość, np. Details=7 (podano " + quoted(value) + ")");
        const std::string fieldName = value.substr(0, equals);
        const ToneField* field = fieldNamed(fieldName);
        if (!field)
            return fail(name + ": nieznane pole " + quoted(fieldName) + "; pola: " + fieldNamesText());
        if (const std::optional<int> number =
                ranged(std::string_view(value).substr(equals + 1), field->min, field->max, name + ": " + field->name))
            result_.options.tone.assignments.push_back({field, static_cast<uint16_t>(*number)});
    }

    // The inputs and the outputs must fit together; the output type is
    // settled here so that a run never starts without one.
    void checkCombination()
    {
        CliOptions& o = result_.options;
        if (o.inputs.empty()) {
            if (!o.output.empty() || o.each || o.saveSettingsPath.empty())
                fail("nie podano plików wejściowych (zobacz --help)");
            return;
        }
        if (o.each) {
            if (!o.output.empty())
                return fail("--each zapisuje każdy plik do folderu -d; nie łącz z -o");
            if (o.outputDir.empty())
                return fail("--each wymaga folderu wynikowego: -d FOLDER");
            o.type = typeGiven_.value_or(SaveFileType::Tiff16);
            return;
        }
        if (!o.outputDir.empty())
            return fail("-d/--dir działa tylko z --each");
        if (o.output.empty())
            return fail("nie podano pliku wynikowego: -o PLIK");
        const std::optional<SaveFileType> type = typeGiven_ ? typeGiven_ : typeFromExtension(o.output);
        if (!type)
            return fail("nie można ustalić typu pliku " + quoted(o.output) +
                        " z rozszerzenia (.jpg, .jpeg, .tif, .tiff); podaj -t jpeg|tiff8|tiff16");
        o.type = *type;
        const std::optional<SaveFileType> named = typeFromExtension(o.output);
        if (named && (*named == SaveFileType::Jpeg) != (o.type == SaveFileType::Jpeg))
            o.warning = "plik " + quoted(o.output) + " będzie zapisany jako " +
                        (o.type == SaveFileType::Jpeg ? "JPEG" : "TIFF") + ", choć jego rozszerzenie mówi co innego";
    }

    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
    ParseResult result_;
    std::optional<SaveFileType> typeGiven_;
    std::set<Opt> placesGiven_;
};

}  // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args) { return Parser(args).run(); }

std::optional<SaveFileType> typeFromExtension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    const std::string ext = lowerAscii(std::string_view(path).substr(dot + 1));
    if (ext == "jpg" || ext == "jpeg")
        return SaveFileType::Jpeg;
    if (ext == "tif" || ext == "tiff")
        return SaveFileType::Tiff16;
    return std::nullopt;
}

const char* extensionFor(SaveFileType type) { return type == SaveFileType::Jpeg ? ".jpg" : ".tif"; }

}  // namespace qv::cli
