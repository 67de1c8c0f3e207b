#include "settings/tone_defaults.h"

#include <array>

#include "settings/key_value_store.h"

namespace qv {

namespace {

struct StoredDefault {
    const char* field;
    uint16_t fallback;
};

// The values in the order they are read and written, with the value taken
// when one is missing.
constexpr std::array<StoredDefault, 15> kStoredDefaults{{
    {"Opacity", 50},
    {"Opacity2", 50},
    {"GrayPoint", 50},
    {"DetectSH", 1},
    {"Details", 5},
    {"Smoothing", 0},
    {"ColorNR", 0},
    {"Mode", 0},
    {"Saturation", 10},
    {"Contrast", 50},
    {"Gamma", 6},
    {"Softness", 0},
    {"Lightness", 50},
    {"Sharpness", 0},
    {"SharpnessRadius", 7},
}};

}  // namespace

void readToneDefaults(const KeyValueStore& store, ToneSettings& record)
{
    for (const StoredDefault& d : kStoredDefaults) {
        const ToneField& field = *findToneField(d.field);
        record.*field.member = clampToField(field, store.readInt(kSettingsSection, d.field).value_or(d.fallback));
    }
}

void writeToneDefaults(KeyValueStore& store, const ToneSettings& record)
{
    for (const StoredDefault& d : kStoredDefaults)
        store.writeInt(kSettingsSection, d.field, record.*findToneField(d.field)->member);
}

}  // namespace qv
