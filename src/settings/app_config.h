#pragma once

#include <string>

namespace qv {

class KeyValueStore;

// The program's options kept between runs in section "Settings".
struct AppConfig {
    bool autoStart = true;
    int jpegQuality = 90;  // "JPEGRatio"
    int previewMode = 0;   // "Preview": 0 full size, 1 800 px, 2 1280 px, 3 2048 px
    bool rawNoiseReduction = true;  // "RAW_NR"
    bool rawAutoWhiteBalance = false;  // "RAW_AutoWB"
    bool lightRecovery = false;  // "LightRecovery"
    bool externalEditor = false;
    std::string externalEditorPath;
    bool iccProfile = false;
};

// Reads the options with their defaults; flags are set only by a stored 1.
AppConfig readAppConfig(const KeyValueStore& store);
void writeAppConfig(KeyValueStore& store, const AppConfig& config);

}  // namespace qv
