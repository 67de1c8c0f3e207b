#include "ui/command_table.h"

#include <array>
#include <utility>

namespace qv::ui {

namespace {

enum class Rule {
    Always,
    Loaded,
    Saveable,        // loaded, not busy, not stale
    LoadedIdle,      // loaded, not busy
    ProcessButton,   // busy ("Przerwij"), or loaded and stale ("Przetwarzaj")
};

constexpr std::array kRules{
    std::pair{Command::OpenImages, Rule::Always},     std::pair{Command::OpenImage, Rule::Always},
    std::pair{Command::Save, Rule::Saveable},         std::pair{Command::SaveAs, Rule::Saveable},
    std::pair{Command::SaveToEditor, Rule::Saveable}, std::pair{Command::Close, Rule::Loaded},
    std::pair{Command::RecentFile, Rule::Always},     std::pair{Command::Exit, Rule::Always},
    std::pair{Command::LoadSettings, Rule::Loaded},   std::pair{Command::SaveSettings, Rule::Loaded},
    std::pair{Command::Defaults, Rule::Loaded},       std::pair{Command::SetAsDefaults, Rule::Loaded},
    std::pair{Command::Preset, Rule::Loaded},         std::pair{Command::AddUserPreset, Rule::Loaded},
    std::pair{Command::PreviewMode, Rule::Always},    std::pair{Command::Configuration, Rule::Always},
    std::pair{Command::CheckUpdates, Rule::Always},   std::pair{Command::About, Rule::Always},
    std::pair{Command::Manual, Rule::Always},         std::pair{Command::Support, Rule::Always},
    std::pair{Command::ProcessButton, Rule::ProcessButton},
    std::pair{Command::ZoomSlider, Rule::LoadedIdle},
};

bool holds(Rule rule, const WindowState& s)
{
    switch (rule) {
    case Rule::Always: return true;
    case Rule::Loaded: return s.loaded;
    case Rule::Saveable: return s.loaded && !s.busy && !s.stale;
    case Rule::LoadedIdle: return s.loaded && !s.busy;
    case Rule::ProcessButton: return s.busy || (s.loaded && s.stale);
    }
    return false;
}

}  // namespace

bool commandEnabled(Command command, const WindowState& state)
{
    for (const auto& [c, rule] : kRules)
        if (c == command)
            return holds(rule, state);
    return false;
}

}  // namespace qv::ui
