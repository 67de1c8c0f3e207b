#include "settings/app_config.h"

#include <algorithm>
#include <limits>

#include "settings/key_value_store.h"

namespace qv {

namespace {

bool readFlag(const KeyValueStore& store, const char* name, bool fallback)
{
    const auto v = store.readInt(kSettingsSection, name);
    return v ? *v == 1 : fallback;
}

}  // namespace

AppConfig readAppConfig(const KeyValueStore& store)
{
    AppConfig c;
    c.autoStart = readFlag(store, "AutoStart", true);
    c.jpegQuality = static_cast<int>(std::clamp<long long>(store.readInt(kSettingsSection, "JPEGRatio").value_or(90), 0, 100));
    // An unknown mode is kept as it is, but within int so that it stays unknown.
    c.previewMode = static_cast<int>(std::clamp<long long>(store.readInt(kSettingsSection, "Preview").value_or(0),
                                                           std::numeric_limits<int>::min(),
                                                           std::numeric_limits<int>::max()));
    c.rawNoiseReduction = readFlag(store, "RAW_NR", true);
    c.rawAutoWhiteBalance = readFlag(store, "RAW_AutoWB", false);
    c.lightRecovery = readFlag(store, "LightRecovery", false);
    c.externalEditor = readFlag(store, "ExternalEditor", false);
    c.externalEditorPath = store.readText(kSettingsSection, "ExternalEditorPath").value_or("");
    c.iccProfile = readFlag(store, "ICCProfile", false);
    return c;
}

void writeAppConfig(KeyValueStore& store, const AppConfig& c)
{
    store.writeInt(kSettingsSection, "AutoStart", c.autoStart ? 1 : 0);
    store.writeInt(kSettingsSection, "Preview", c.previewMode);
    store.writeInt(kSettingsSection, "JPEGRatio", c.jpegQuality);
    store.writeInt(kSettingsSection, "RAW_NR", c.rawNoiseReduction ? 1 : 0);
    store.writeInt(kSettingsSection, "RAW_AutoWB", c.rawAutoWhiteBalance ? 1 : 0);
    store.writeInt(kSettingsSection, "ExternalEditor", c.externalEditor ? 1 : 0);
    store.writeText(kSettingsSection, "ExternalEditorPath", c.externalEditorPath);
    store.writeInt(kSettingsSection, "ICCProfile", c.iccProfile ? 1 : 0);
    store.writeInt(kSettingsSection, "LightRecovery", c.lightRecovery ? 1 : 0);
}

}  // namespace qv
