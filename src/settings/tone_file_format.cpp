#include "settings/tone_file_format.h"

#include <algorithm>

namespace qv {

namespace {

// A value an older version implies for a word it lacks, or none: the word is
// reserved, or the field keeps its pre-fill.
constexpr int kNoLegacyValue = -1;

struct BodyWord {
    const char* field;  // stored field name; nullptr for a reserved word
    int legacyValue;
};

// The body of the current layout, word by word. Older versions carry the
// same body with words missing at its front.
constexpr std::array<BodyWord, 17> kBody{{
    {"Lightness", 0},
    {"SharpnessRadius", kNoLegacyValue},
    {"Sharpness", 0},
    {"GrayPoint", 50},
    {"Softness", 0},
    {"ColorNR", 0},
    {"Gamma", 6},
    {"Contrast", 50},
    {"Saturation", 10},
    {"DetectSH", 0},
    {"Opacity", kNoLegacyValue},
    {"Opacity2", kNoLegacyValue},
    {nullptr, kNoLegacyValue},
    {nullptr, kNoLegacyValue},
    {"Details", kNoLegacyValue},
    {"Smoothing", kNoLegacyValue},
    {"Mode", kNoLegacyValue},
}};

constexpr std::size_t kTagSize = 4;

struct VersionTag {
    std::array<uint8_t, kTagSize> bytes;
    std::size_t firstWord;  // index into kBody where this version's body starts
};

constexpr std::array<VersionTag, 11> kTags{{
    {{0x51, 0x56, 0x00, 0x20}, 0},  // current
    {{0x51, 0x56, 0x00, 0x10}, 1},
    {{0x39, 0x30, 0x4C, 0x41}, 1},
    {{0x38, 0x30, 0x4C, 0x41}, 3},
    {{0x37, 0x30, 0x4C, 0x41}, 4},
    {{0x36, 0x30, 0x4C, 0x41}, 5},
    {{0x35, 0x30, 0x4C, 0x41}, 6},
    {{0x34, 0x30, 0x4C, 0x41}, 7},
    {{0x33, 0x30, 0x4C, 0x41}, 8},
    {{0x32, 0x30, 0x4C, 0x41}, 9},
    {{0x31, 0x30, 0x4C, 0x41}, 10},
}};

const VersionTag* findTag(std::span<const uint8_t> bytes)
{
    for (const VersionTag& tag : kTags)
        if (std::equal(tag.bytes.begin(), tag.bytes.end(), bytes.begin()))
            return &tag;
    return nullptr;
}

}  // namespace

std::array<uint8_t, kToneFileSize> encodeToneFile(const ToneSettings& settings)
{
    std::array<uint8_t, kToneFileSize> out{};
    std::copy(kTags[0].bytes.begin(), kTags[0].bytes.end(), out.begin());
    for (std::size_t i = 0; i < kBody.size(); ++i) {
        const uint16_t value = kBody[i].field ? settings.*findToneField(kBody[i].field)->member : 0;
        out[kTagSize + 2 * i] = static_cast<uint8_t>(value & 0xFF);
        out[kTagSize + 2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    return out;
}

ToneFileDecode decodeToneFile(std::span<const uint8_t> bytes, ToneSettings& record)
{
    if (bytes.size() < kTagSize)
        return {ToneFileStatus::Truncated, 0};
    const VersionTag* tag = findTag(bytes.first(kTagSize));
    if (!tag)
        return {ToneFileStatus::UnknownTag, 0};
    const std::size_t size = kTagSize + 2 * (kBody.size() - tag->firstWord);
    if (bytes.size() < size)
        return {ToneFileStatus::Truncated, 0};

    ToneSettings values;
    copyToneValues(record, values);
    for (std::size_t i = 0; i < kBody.size(); ++i) {
        if (!kBody[i].field)
            continue;
        const ToneField& field = *findToneField(kBody[i].field);
        if (i >= tag->firstWord) {
            const uint8_t* word = bytes.data() + kTagSize + 2 * (i - tag->firstWord);
            values.*field.member = clampToField(field, word[0] | (word[1] << 8));
        } else if (kBody[i].legacyValue != kNoLegacyValue) {
            values.*field.member = static_cast<uint16_t>(kBody[i].legacyValue);
        }
    }
    copyToneValues(values, record);
    return {ToneFileStatus::Ok, size};
}

}  // namespace qv
