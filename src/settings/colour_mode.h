#pragma once

#include <cstdint>
#include <optional>

namespace qv {

// The colour modes, by the value `Mode` stores (in settings files, presets
// and the stored defaults), which the enumerators keep.
enum class ColourMode : uint16_t {
    Natural = 0,        // "Naturalny": the source colour scaled halfway by the change of brightness
    Vivid = 1,          // "Podkręcony": the source colour scaled fully
    Artistic = 2,       // "Artystyczny": the source colour relit in HSL
    Muted = 7,          // "Stonowany": the source colour unchanged
    BlackAndWhite = 8,  // "B&W": no colour
};

// The mode a stored `Mode` value names; nothing for a value no mode has.
constexpr std::optional<ColourMode> colourModeOf(int stored)
{
    switch (stored) {
    case 0: return ColourMode::Natural;
    case 1: return ColourMode::Vivid;
    case 2: return ColourMode::Artistic;
    case 7: return ColourMode::Muted;
    case 8: return ColourMode::BlackAndWhite;
    default: return std::nullopt;
    }
}

// The value `Mode` stores for a mode.
constexpr uint16_t storedMode(ColourMode mode) { return static_cast<uint16_t>(mode); }

constexpr bool isBlackAndWhite(int stored) { return stored == storedMode(ColourMode::BlackAndWhite); }

}  // namespace qv
