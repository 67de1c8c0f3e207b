#pragma once

#include <span>
#include <string_view>

namespace qv::cli {

enum class Opt {
    Output, Type, Quality, Resize, Preset, Settings, Set, Preview,
    RawNr, NoRawNr, RawAutoWb, NoRawAutoWb, LightRecovery, NoLightRecovery,
    NoCompanion, Factory, SaveSettings, Threads, Each, Dir, Quiet, Timings, Help, Version,
};

// The headings under which --help lists the options.
struct OptionGroup {
    std::string_view heading;
    // Where the descriptions of the group's options start; an option line
    // that reaches it is followed by two spaces instead.
    int descriptionColumn;
    // A line of its own after the group's options (empty: none).
    std::string_view note;
};

// One option of the tool: how it is spelt, what value it takes and what
// --help says of it. The parser and the help both read this one table.
struct OptionInfo {
    Opt id;
    char shortName;                // 0: long form only
    std::string_view longName;
    std::string_view argument;     // the value's name in the help; empty: the option takes no value
    const OptionGroup* group;
    // The description; each "\n" starts a further line under the first. An
    // option without one shares the line of the option before it.
    std::string_view help;

    bool takesValue() const { return !argument.empty(); }
};

// Where the help puts the list of built-in presets.
inline constexpr std::string_view kPresetListSlot = "{presets}";

// Every option, in the order of the help.
std::span<const OptionInfo> optionTable();

}  // namespace qv::cli
