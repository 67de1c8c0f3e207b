#include "ui/page_controls.h"

#include <array>
#include <vector>

#include "text/number_text.h"
#include "ui/status_texts.h"

namespace qv::ui {

namespace {

constexpr const char* kSmoothingWords = "Brak|Niewielkie|Niewielkie|Średnie|Średnie|Średnie|Mocne|Mocne|Mocne|"
                                        "Agresywne|Agresywne";

using TS = ToneSettings;

constexpr uint32_t kOut = DirtyBits::Output;

const std::array<PageControl, 15> kControls{{
    {0, ControlKind::Slider, "Detale", &TS::Details, 0, 9, 1, LabelRule::Words,
     "Ogólne kontrasty|Średnie kontrasty|Małe kontrasty|Drobne szczegóły", Apply::OnRelease,
     DirtyBits::Details | kOut},
    {0, ControlKind::Slider, "Wygładzanie", &TS::Smoothing, 0, 10, 1, LabelRule::Words, kSmoothingWords,
     Apply::OnRelease, DirtyBits::Smoothing | kOut},
    {0, ControlKind::Slider, "Kontrast", &TS::Contrast, 0, 100, 10, LabelRule::WordsPercent, "Niski|Średni|Wysoki",
     Apply::OnRelease, DirtyBits::Curve | kOut},
    {1, ControlKind::Slider, "Punkt szarości", &TS::GrayPoint, 0, 100, 10, LabelRule::Percent, nullptr, Apply::Live,
     DirtyBits::MergeOpacity | kOut},
    {1, ControlKind::Slider, "Obszary ciemne", &TS::Opacity, 0, 100, 10, LabelRule::Percent, nullptr, Apply::Live,
     DirtyBits::MergeOpacity | kOut},
    {1, ControlKind::Slider, "Obszary jasne", &TS::Opacity2, 0, 100, 10, LabelRule::Percent, nullptr, Apply::Live,
     DirtyBits::MergeOpacity | kOut},
    {1, ControlKind::Slider, "Granica obszarów", &TS::DetectSH, 0, 5, 1, LabelRule::Words,
     "Ostra|Lekko rozmyta|Rozmyta|Miękka|Bardzo miękka", Apply::OnRelease, DirtyBits::Region | kOut},
    {1, ControlKind::Slider, "Miękkość", &TS::Softness, 0, 150, 10, LabelRule::Percent, nullptr, Apply::OnRelease,
     DirtyBits::Softness | kOut},
    {1, ControlKind::Slider, "Światło", &TS::Lightness, 0, 100, 10, LabelRule::Percent, nullptr, Apply::OnRelease,
     DirtyBits::Light | kOut},
    {2, ControlKind::ModeList, "Kolor", &TS::Mode, 0, 8, 1, LabelRule::None, nullptr, Apply::Live,
     DirtyBits::MergeMode | kOut},
    {2, ControlKind::Slider, "Odszumianie koloru", &TS::ColorNR, 0, 10, 1, LabelRule::Words, kSmoothingWords,
     Apply::OnRelease, DirtyBits::ColorNR | kOut},
    {2, ControlKind::Slider, "Nasycenie", &TS::Saturation, 0, 30, 1, LabelRule::TenfoldPercent, nullptr, Apply::Live,
     kOut},
    {2, ControlKind::Slider, "Gamma", &TS::Gamma, 0, 13, 1, LabelRule::GammaValue, nullptr, Apply::Live, kOut},
    {2, ControlKind::Slider, "Ostrość", &TS::Sharpness, 0, 200, 10, LabelRule::HundredPlus, nullptr,
     Apply::OnRelease, DirtyBits::Sharpen | kOut},
    {2, ControlKind::RadiusSpin, "Promień", &TS::SharpnessRadius, 4, 40, 1, LabelRule::Tenths, nullptr, Apply::Live,
     DirtyBits::Sharpen | kOut},
}};

constexpr std::array<ModeItem, 5> kModeItems{{
    {"Naturalny", ColourMode::Natural},
    {"Podkręcony", ColourMode::Vivid},
    {"Stonowany", ColourMode::Muted},
    {"Artystyczny", ColourMode::Artistic},
    {"B&W", ColourMode::BlackAndWhite},
}};

std::vector<std::string> splitWords(const char* list)
{
    std::vector<std::string> words(1);
    for (const char* c = list; *c; ++c) {
        if (*c == '|')
            words.emplace_back();
        else
            words.back() += *c;
    }
    return words;
}

}  // namespace

const char* const kPageTitles[kPageCount] = {"Krok 1", "Krok 2", "Krok 3"};

std::span<const PageControl> pageControls() { return kControls; }

const PageControl* controlFor(uint16_t ToneSettings::*field)
{
    for (const PageControl& c : pageControls())
        if (c.field == field)
            return &c;
    return nullptr;
}

std::span<const ModeItem> modeItems() { return kModeItems; }

int modeItemIndex(uint16_t mode)
{
    for (std::size_t i = 0; i < kModeItems.size(); ++i)
        if (storedMode(kModeItems[i].mode) == mode)
            return static_cast<int>(i);
    return -1;
}

int wordIndex(int count, int value, int min, int max)
{
    // Single precision, as the labels have always been computed.
    const float share = static_cast<float>(value - min) / static_cast<float>(max - min);
    const int index = static_cast<int>(static_cast<float>(count) * share);
    return index < count - 1 ? index : count - 1;
}

std::string valueLabel(const PageControl& c, int value)
{
    switch (c.label) {
    case LabelRule::Words:
    case LabelRule::WordsPercent: {
        const std::vector<std::string> words = splitWords(c.words);
        const int count = static_cast<int>(words.size());
        std::string text = words[wordIndex(count, value, c.min, c.max)] + " (" + std::to_string(value) +
                           (c.label == LabelRule::WordsPercent ? "%)" : ")");
        // The strongest smoothing runs twice.
        if (c.field == &ToneSettings::Smoothing && value == c.max)
            text += " x 2";
        return text;
    }
    case LabelRule::Percent: return std::to_string(value) + "%";
    case LabelRule::TenfoldPercent: return std::to_string(value * 10) + "%";
    case LabelRule::GammaValue: return text::oneDecimal(0.4 + value * 0.1);
    case LabelRule::HundredPlus: return std::to_string(value + 100) + "%";
    case LabelRule::Tenths: return text::oneDecimal(value / 10.0);
    case LabelRule::None: return {};
    }
    return {};
}

bool controlEnabled(const PageControl& c, bool imageLoaded, uint16_t mode)
{
    if (!imageLoaded)
        return false;
    if (c.field == &ToneSettings::Saturation || c.field == &ToneSettings::ColorNR)
        return !isBlackAndWhite(mode);
    return true;
}

}  // namespace qv::ui
