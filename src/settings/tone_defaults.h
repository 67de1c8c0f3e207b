#pragma once

#include "settings/tone_settings.h"

namespace qv {

class KeyValueStore;

// Reads the stored default tone values from section "Settings" into the
// record's values (the name is untouched). A missing value takes its
// fallback, which is the construction default except Lightness 50; every
// value is clamped into its range (SharpnessRadius 3 or less reads as 4).
void readToneDefaults(const KeyValueStore& store, ToneSettings& record);

// Stores the record's fifteen values in section "Settings".
void writeToneDefaults(KeyValueStore& store, const ToneSettings& record);

}  // namespace qv
