#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// Bits of the pipeline's dirty mask: one per stage, plus the final output.
namespace DirtyBits {
inline constexpr uint32_t Details = 0x001;
inline constexpr uint32_t Smoothing = 0x002;
inline constexpr uint32_t Region = 0x004;
inline constexpr uint32_t Curve = 0x008;
inline constexpr uint32_t MergeMode = 0x010;
inline constexpr uint32_t MergeOpacity = 0x020;
inline constexpr uint32_t ColorNR = 0x040;
inline constexpr uint32_t Output = 0x080;
inline constexpr uint32_t Softness = 0x100;
inline constexpr uint32_t Light = 0x200;
inline constexpr uint32_t Sharpen = 0x400;
// What a newly opened image marks.
inline constexpr uint32_t NewImage = Details | Output;
}  // namespace DirtyBits

// Every user-adjustable processing parameter. The fifteen values are
// unsigned 16-bit; their order is the record's field order.
struct ToneSettings {
    std::string name;
    uint16_t Opacity = 50;
    uint16_t Opacity2 = 50;
    uint16_t GrayPoint = 50;
    uint16_t DetectSH = 1;
    uint16_t Details = 5;
    uint16_t Smoothing = 0;
    uint16_t Mode = 0;
    uint16_t Saturation = 10;
    uint16_t Contrast = 50;
    uint16_t Gamma = 6;
    uint16_t ColorNR = 0;
    uint16_t Softness = 0;
    uint16_t Lightness = 40;
    uint16_t Sharpness = 0;
    uint16_t SharpnessRadius = 7;
};

// Describes one value of the record: its stored name, valid range and member.
struct ToneField {
    const char* name;
    uint16_t ToneSettings::*member;
    uint16_t min;
    uint16_t max;
};

// The fifteen values in record order.
const std::array<ToneField, 15>& toneFields();
// The field of that stored name (case-sensitive), or nullptr.
const ToneField* findToneField(std::string_view name);
// Clamps a raw value into the field's valid range.
uint16_t clampToField(const ToneField& field, long long value);
// The field of a member of the record.
const ToneField& toneField(uint16_t ToneSettings::*member);
// Whether the member's value lies within its field's valid range.
bool inFieldRange(const ToneSettings& settings, uint16_t ToneSettings::*member);

// Copies the fifteen values, not the name.
void copyToneValues(const ToneSettings& source, ToneSettings& target);
// The dirty bits of every value that differs between the two records.
uint32_t compareToneSettings(const ToneSettings& incoming, const ToneSettings& current);
bool sameToneValues(const ToneSettings& a, const ToneSettings& b);

// The built-in presets, in menu order.
struct TonePreset {
    int commandId;         // 32800..32809
    const char* menuText;  // as the menu shows it ("&&" is one shown ampersand)
    ToneSettings settings;
};
inline constexpr int kFirstPresetCommand = 32800;
inline constexpr int kPresetCount = 10;
const std::array<TonePreset, kPresetCount>& tonePresets();
// Lookup by command id; nullptr when the id is not a preset command.
const TonePreset* presetByCommand(int commandId);
// Lookup by menu text, with or without the doubled ampersand.
const TonePreset* presetByMenuText(std::string_view text);
// The text a user sees: the menu text with "&&" shown as "&".
std::string presetDisplayName(const TonePreset& preset);

}  // namespace qv
