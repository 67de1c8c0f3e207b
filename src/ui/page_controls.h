#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "settings/colour_mode.h"
#include "settings/tone_settings.h"

namespace qv::ui {

// How a control's value label reads.
enum class LabelRule {
    Words,           // "%s (%d)": a word of the control's list and the value
    WordsPercent,    // "%s (%d%%)"
    Percent,         // "%d%%" of the value
    TenfoldPercent,  // "%d%%" of ten times the value
    GammaValue,      // "%.1f" of 0.4 + value x 0.1
    HundredPlus,     // "%d%%" of value + 100
    Tenths,          // "%.1f" of value / 10
    None,
};

enum class ControlKind { Slider, ModeList, RadiusSpin };

// When a slider's value is taken over into the settings.
enum class Apply {
    OnRelease,  // label only while dragging; taken over when released or stepped
    Live,       // taken over at every move, also while dragging
};

// One control of the three adjustment pages.
struct PageControl {
    int page;               // 0, 1, 2: "Krok 1".."Krok 3"
    ControlKind kind;
    const char* caption;
    uint16_t ToneSettings::*field;
    int min, max;
    int pageStep;           // also the tick interval
    LabelRule label;
    const char* words;      // "|"-separated word list for the word rules
    Apply apply;
    uint32_t bits;          // dirty bits a change marks (the final output's included)
};

inline constexpr int kPageCount = 3;
extern const char* const kPageTitles[kPageCount];

// Every control of the pages, page by page, top to bottom.
std::span<const PageControl> pageControls();
// The control that edits `field`; nullptr when none does.
const PageControl* controlFor(uint16_t ToneSettings::*field);

// The colour-mode list: item texts and the mode each carries.
struct ModeItem {
    const char* text;
    ColourMode mode;
};
std::span<const ModeItem> modeItems();
// The list row of the stored `Mode` value `mode`, or -1 when no item carries it.
int modeItemIndex(uint16_t mode);

// The value label of a control at `value`.
std::string valueLabel(const PageControl& control, int value);
// Which word of a list of `count` words stands for `value` on min..max.
int wordIndex(int count, int value, int min, int max);

// Whether a control is enabled: with an image loaded; saturation and colour
// noise reduction not in black and white.
bool controlEnabled(const PageControl& control, bool imageLoaded, uint16_t mode);

}  // namespace qv::ui
