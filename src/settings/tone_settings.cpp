#include "settings/tone_settings.h"

#include <algorithm>

namespace qv {

const std::array<ToneField, 15>& toneFields()
{
    static const std::array<ToneField, 15> fields{{
        {"Opacity", &ToneSettings::Opacity, 0, 100},
        {"Opacity2", &ToneSettings::Opacity2, 0, 100},
        {"GrayPoint", &ToneSettings::GrayPoint, 0, 100},
        {"DetectSH", &ToneSettings::DetectSH, 0, 5},
        {"Details", &ToneSettings::Details, 0, 9},
        {"Smoothing", &ToneSettings::Smoothing, 0, 10},
        {"Mode", &ToneSettings::Mode, 0, 8},
        {"Saturation", &ToneSettings::Saturation, 0, 30},
        {"Contrast", &ToneSettings::Contrast, 0, 100},
        {"Gamma", &ToneSettings::Gamma, 0, 13},
        {"ColorNR", &ToneSettings::ColorNR, 0, 10},
        {"Softness", &ToneSettings::Softness, 0, 150},
        {"Lightness", &ToneSettings::Lightness, 0, 100},
        {"Sharpness", &ToneSettings::Sharpness, 0, 200},
        {"SharpnessRadius", &ToneSettings::SharpnessRadius, 4, 40},
    }};
    return fields;
}

const ToneField* findToneField(std::string_view name)
{
    for (const ToneField& f : toneFields())
        if (name == f.name)
            return &f;
    return nullptr;
}

uint16_t clampToField(const ToneField& field, long long value)
{
    return static_cast<uint16_t>(std::clamp<long long>(value, field.min, field.max));
}

const ToneField& toneField(uint16_t ToneSettings::*member)
{
    const auto& fields = toneFields();
    return *std::find_if(fields.begin(), fields.end(), [&](const ToneField& f) { return f.member == member; });
}

bool inFieldRange(const ToneSettings& settings, uint16_t ToneSettings::*member)
{
    const ToneField& field = toneField(member);
    const uint16_t value = settings.*member;
    return value >= field.min && value <= field.max;
}

void copyToneValues(const ToneSettings& source, ToneSettings& target)
{
    for (const ToneField& f : toneFields())
        target.*f.member = source.*f.member;
}

bool sameToneValues(const ToneSettings& a, const ToneSettings& b)
{
    return compareToneSettings(a, b) == 0;
}

uint32_t compareToneSettings(const ToneSettings& in, const ToneSettings& cur)
{
    uint32_t mask = 0;
    if (in.Details != cur.Details)
        mask |= DirtyBits::Details;
    if (in.Smoothing != cur.Smoothing)
        mask |= DirtyBits::Smoothing;
    if (in.DetectSH != cur.DetectSH)
        mask |= DirtyBits::Region;
    if (in.Contrast != cur.Contrast)
        mask |= DirtyBits::Curve;
    if (in.Mode != cur.Mode)
        mask |= DirtyBits::MergeMode;
    if (in.GrayPoint != cur.GrayPoint || in.Opacity != cur.Opacity || in.Opacity2 != cur.Opacity2)
        mask |= DirtyBits::MergeOpacity;
    if (in.ColorNR != cur.ColorNR)
        mask |= DirtyBits::ColorNR;
    if (in.Saturation != cur.Saturation || in.Gamma != cur.Gamma)
        mask |= DirtyBits::Output;
    if (in.Softness != cur.Softness)
        mask |= DirtyBits::Softness;
    if (in.Lightness != cur.Lightness)
        mask |= DirtyBits::Light;
    if (in.Sharpness != cur.Sharpness || in.SharpnessRadius != cur.SharpnessRadius)
        mask |= DirtyBits::Sharpen;
    return mask;
}

namespace {

// One preset row: the values a preset sets on a freshly constructed record.
TonePreset makePreset(int id, const char* text, uint16_t opacity, uint16_t opacity2,
                      uint16_t grayPoint, uint16_t detectSH, uint16_t details, uint16_t smoothing,
                      uint16_t mode, uint16_t saturation, uint16_t contrast, uint16_t gamma,
                      uint16_t colorNR, uint16_t softness, uint16_t lightness)
{
    ToneSettings s;
    s.Opacity = opacity;
    s.Opacity2 = opacity2;
    s.GrayPoint = grayPoint;
    s.DetectSH = detectSH;
    s.Details = details;
    s.Smoothing = smoothing;
    s.Mode = mode;
    s.Saturation = saturation;
    s.Contrast = contrast;
    s.Gamma = gamma;
    s.ColorNR = colorNR;
    s.Softness = softness;
    s.Lightness = lightness;
    return {id, text, s};
}

}  // namespace

const std::array<TonePreset, kPresetCount>& tonePresets()
{
    static const std::array<TonePreset, kPresetCount> presets{{
        makePreset(32800, "Krajobraz", 40, 65, 50, 5, 0, 1, 0, 10, 50, 6, 0, 40, 40),
        makePreset(32801, "Krajobraz 2", 20, 50, 50, 5, 4, 1, 1, 10, 50, 6, 0, 40, 40),
        makePreset(32802, "Krajobraz 3", 60, 80, 50, 5, 3, 1, 1, 12, 40, 6, 5, 50, 40),
        makePreset(32803, "Architektura", 40, 50, 50, 1, 4, 0, 0, 10, 50, 5, 0, 40, 40),
        makePreset(32804, "Kworwelia", 40, 50, 50, 1, 5, 0, 1, 10, 40, 5, 0, 60, 60),
        makePreset(32805, "Kworwelia 2", 40, 50, 50, 1, 7, 0, 0, 10, 50, 5, 0, 60, 40),
        makePreset(32806, "Ludzie", 40, 30, 40, 1, 3, 9, 7, 10, 20, 5, 0, 40, 40),
        makePreset(32807, "Ludzie B&&W", 40, 30, 40, 1, 3, 9, 8, 10, 20, 5, 0, 40, 40),
        makePreset(32808, "Efekty specjalne", 60, 90, 50, 5, 7, 2, 1, 12, 20, 4, 5, 50, 50),
        makePreset(32809, "Efekty specjalne 2", 60, 90, 50, 5, 7, 2, 2, 14, 20, 4, 5, 50, 50),
    }};
    return presets;
}

const TonePreset* presetByCommand(int commandId)
{
    int i = commandId - kFirstPresetCommand;
    return i >= 0 && i < kPresetCount ? &tonePresets()[i] : nullptr;
}

std::string presetDisplayName(const TonePreset& preset)
{
    std::string text = preset.menuText;
    for (size_t pos = text.find("&&"); pos != std::string::npos; pos = text.find("&&", pos + 1))
        text.erase(pos, 1);
    return text;
}

const TonePreset* presetByMenuText(std::string_view text)
{
    for (const TonePreset& p : tonePresets())
        if (text == p.menuText || text == presetDisplayName(p))
            return &p;
    return nullptr;
}

}  // namespace qv
