#pragma once

#include <string>
#include <vector>

#include "settings/tone_settings.h"

namespace qv {
class KeyValueStore;
}

namespace qv::cli {

// One "--set Field=Value": the value is already checked against the range.
struct ToneAssignment {
    const ToneField* field = nullptr;
    uint16_t value = 0;
};

// Where the tone settings of a run come from, layer by layer.
struct ToneRequest {
    bool factory = false;             // construction defaults instead of the stored ones
    const TonePreset* preset = nullptr;
    std::string settingsFile;         // a *.qvl file; empty for none
    bool companion = true;            // the *.qvl beside the image, as the program reads it
    std::vector<ToneAssignment> assignments;
};

struct ToneAssembly {
    ToneSettings settings;
    std::string error;  // one line saying why the settings file could not be read
    bool ok() const { return error.empty(); }
};

// The layers every image of a run shares: the stored defaults of the user's
// store (or the construction defaults), then the preset, then the settings
// file, whose missing fields (older versions) keep the values so far.
ToneAssembly sharedToneSettings(const ToneRequest& request, const KeyValueStore& store);

// The settings for one image: the shared layers, the image's companion
// settings file when asked for (read quietly as the program does: a missing
// or unreadable one changes nothing), then the assignments.
// `companionUsed` receives the companion's path when one was applied,
// `companionIgnored` a line saying why one that exists was not.
ToneSettings settingsForImage(const ToneRequest& request, const ToneSettings& shared, const std::string& imagePath,
                              std::string* companionUsed = nullptr, std::string* companionIgnored = nullptr);

// The shared layers with the assignments on top: what a batch saves.
ToneSettings settingsWithoutCompanion(const ToneRequest& request, const ToneSettings& shared);

}  // namespace qv::cli
