#include "settings/app_config.h"

#include <gtest/gtest.h>

#include "settings/key_value_store.h"

namespace qv {
namespace {

TEST(AppConfig, AbsentValuesGiveTheDefaults)
{
    const MemoryStore store;
    const AppConfig c = readAppConfig(store);
    EXPECT_TRUE(c.autoStart);
    EXPECT_EQ(c.jpegQuality, 90);
    EXPECT_EQ(c.previewMode, 0);
    EXPECT_TRUE(c.rawNoiseReduction);
    EXPECT_FALSE(c.rawAutoWhiteBalance);
    EXPECT_FALSE(c.lightRecovery);
    EXPECT_FALSE(c.externalEditor);
    EXPECT_EQ(c.externalEditorPath, "");
    EXPECT_FALSE(c.iccProfile);
}

TEST(AppConfig, OnlyAStoredOneSetsAFlag)
{
    MemoryStore store;
    for (const char* name : {"AutoStart", "RAW_NR", "RAW_AutoWB", "LightRecovery", "ExternalEditor", "ICCProfile"})
        store.writeInt(kSettingsSection, name, 2);
    AppConfig c = readAppConfig(store);
    EXPECT_FALSE(c.autoStart);
    EXPECT_FALSE(c.rawNoiseReduction);
    EXPECT_FALSE(c.rawAutoWhiteBalance);
    EXPECT_FALSE(c.lightRecovery);
    EXPECT_FALSE(c.externalEditor);
    EXPECT_FALSE(c.iccProfile);

    for (const char* name : {"AutoStart", "RAW_NR", "RAW_AutoWB", "LightRecovery", "ExternalEditor", "ICCProfile"})
        store.writeInt(kSettingsSection, name, 1);
    c = readAppConfig(store);
    EXPECT_TRUE(c.autoStart && c.rawNoiseReduction && c.rawAutoWhiteBalance && c.lightRecovery &&
                c.externalEditor && c.iccProfile);
}

TEST(AppConfig, OnlyJpegQualityIsClamped)
{
    MemoryStore store;
    store.writeInt(kSettingsSection, "JPEGRatio", 150);
    store.writeInt(kSettingsSection, "Preview", 7);
    AppConfig c = readAppConfig(store);
    EXPECT_EQ(c.jpegQuality, 100);
    EXPECT_EQ(c.previewMode, 7);
    store.writeInt(kSettingsSection, "JPEGRatio", -3);
    EXPECT_EQ(readAppConfig(store).jpegQuality, 0);
    // A mode beyond int must not wrap round to a valid one.
    store.writeInt(kSettingsSection, "Preview", (1LL << 32) + 1);
    EXPECT_GT(readAppConfig(store).previewMode, 3);
}

TEST(AppConfig, WrittenValuesReadBackEqual)
{
    AppConfig written;
    written.autoStart = false;
    written.jpegQuality = 75;
    written.previewMode = 2;
    written.rawNoiseReduction = false;
    written.rawAutoWhiteBalance = true;
    written.lightRecovery = true;
    written.externalEditor = true;
    written.externalEditorPath = "/usr/bin/edytor zdjęć";
    written.iccProfile = true;
    MemoryStore store;
    writeAppConfig(store, written);
    EXPECT_EQ(store.readInt(kSettingsSection, "AutoStart"), 0);
    EXPECT_EQ(store.readInt(kSettingsSection, "RAW_AutoWB"), 1);
    const AppConfig read = readAppConfig(store);
    EXPECT_EQ(read.autoStart, written.autoStart);
    EXPECT_EQ(read.jpegQuality, written.jpegQuality);
    EXPECT_EQ(read.previewMode, written.previewMode);
    EXPECT_EQ(read.rawNoiseReduction, written.rawNoiseReduction);
    EXPECT_EQ(read.rawAutoWhiteBalance, written.rawAutoWhiteBalance);
    EXPECT_EQ(read.lightRecovery, written.lightRecovery);
    EXPECT_EQ(read.externalEditor, written.externalEditor);
    EXPECT_EQ(read.externalEditorPath, written.externalEditorPath);
    EXPECT_EQ(read.iccProfile, written.iccProfile);
}

}  // namespace
}  // namespace qv
