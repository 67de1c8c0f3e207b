#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <filesystem>
#include <fstream>

#include "settings/app_config.h"
#include "settings/tone_defaults.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

TEST(QSettingsStore, MissingValuesReadAsAbsent)
{
    test::TempDir dir;
    const QSettingsStore store(dir.file("Quorvelin.ini"));
    EXPECT_EQ(store.readInt(kSettingsSection, "JPEGRatio"), std::nullopt);
    EXPECT_EQ(store.readText(kSettingsSection, "ExternalEditorPath"), std::nullopt);
}

TEST(QSettingsStore, ValuesSurviveANewStoreOnTheSameFile)
{
    test::TempDir dir;
    const std::string path = dir.file("Quorvelin.ini");
    {
        QSettingsStore store(path);
        store.writeInt(kSettingsSection, "Preview", -3);
        store.writeInt(kSettingsSection, "Duza", 1'000'000'000'000LL);
        store.writeText(kSettingsSection, "ExternalEditorPath", "/opt/edytor zdjęć/bin=1;2,3");
        store.writeText(kSettingsSection, "LastUpdate", "");
        store.writeInt("Inna", "Preview", 2);
        EXPECT_TRUE(store.sync());
    }
    const QSettingsStore store(path);
    EXPECT_EQ(store.readInt(kSettingsSection, "Preview"), -3);
    EXPECT_EQ(store.readInt(kSettingsSection, "Duza"), 1'000'000'000'000LL);
    EXPECT_EQ(store.readInt("Inna", "Preview"), 2);
    EXPECT_EQ(store.readText(kSettingsSection, "ExternalEditorPath"), "/opt/edytor zdjęć/bin=1;2,3");
    EXPECT_EQ(store.readText(kSettingsSection, "LastUpdate"), "");
}

TEST(QSettingsStore, TextThatIsNoIntegerReadsAsAbsent)
{
    test::TempDir dir;
    const std::string path = dir.file("Quorvelin.ini");
    std::ofstream(path) << "[Settings]\nJPEGRatio=dużo\nSharpnessRadius=2\n";
    const QSettingsStore store(path);
    EXPECT_EQ(store.readInt(kSettingsSection, "JPEGRatio"), std::nullopt);
    EXPECT_EQ(readAppConfig(store).jpegQuality, 90);
    ToneSettings defaults;
    readToneDefaults(store, defaults);
    EXPECT_EQ(defaults.SharpnessRadius, 4);
}

TEST(QSettingsStore, UserStoreLivesUnderTheProgramsName)
{
    test::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.path().string()));
    ToneSettings written = presetByCommand(32804)->settings;
    {
        QSettingsStore store;
        writeToneDefaults(store, written);
        ASSERT_TRUE(store.sync());
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Quorvelin" / "Quorvelin.conf"));
    const QSettingsStore store;
    ToneSettings read;
    readToneDefaults(store, read);
    EXPECT_EQ(compareToneSettings(read, written), 0u);
}

}  // namespace
}  // namespace qv
