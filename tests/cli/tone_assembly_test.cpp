#include "cli/tone_assembly.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "settings/key_value_store.h"
#include "settings/tone_file.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

namespace qv::cli {
namespace {

ToneSettings withDetails(uint16_t details, uint16_t lightness)
{
    ToneSettings s;
    s.Details = details;
    s.Lightness = lightness;
    return s;
}

ToneAssignment assign(const char* field, uint16_t value) { return {findToneField(field), value}; }

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

class ToneAssemblyTest : public ::testing::Test {
protected:
    MemoryStore store;
    test::TempDir dir;
};

TEST_F(ToneAssemblyTest, StartsFromTheStoredDefaultsOrTheFactoryOnes)
{
    store.writeInt(kSettingsSection, "Details", 2);
    store.writeInt(kSettingsSection, "Sharpness", 500);  // clamped as the program reads it
    ToneRequest request;
    const ToneAssembly stored = sharedToneSettings(request, store);
    ASSERT_TRUE(stored.ok()) << stored.error;
    EXPECT_EQ(stored.settings.Details, 2);
    EXPECT_EQ(stored.settings.Sharpness, 200);
    EXPECT_EQ(stored.settings.Lightness, 50);  // the stored defaults' fallback, not the record's 40

    request.factory = true;
    const ToneAssembly factory = sharedToneSettings(request, store);
    EXPECT_TRUE(sameToneValues(factory.settings, ToneSettings{}));
}

TEST_F(ToneAssemblyTest, PresetThenSettingsFileThenAssignments)
{
    store.writeInt(kSettingsSection, "Sharpness", 30);
    ToneRequest request;
    request.preset = &tonePresets()[4];
    ToneAssembly preset = sharedToneSettings(request, store);
    ASSERT_TRUE(preset.ok());
    EXPECT_TRUE(sameToneValues(preset.settings, tonePresets()[4].settings));  // Sharpness back to 0 too

    request.settingsFile = dir.file("x.qvl");
    ASSERT_TRUE(saveToneFile(withDetails(8, 77), request.settingsFile).ok());
    const ToneAssembly file = sharedToneSettings(request, store);
    ASSERT_TRUE(file.ok()) << file.error;
    EXPECT_TRUE(sameToneValues(file.settings, withDetails(8, 77)));

    request.assignments = {assign("Lightness", 3), assign("Details", 1), assign("Lightness", 4)};
    const ToneSettings final = settingsWithoutCompanion(request, file.settings);
    EXPECT_TRUE(sameToneValues(final, withDetails(1, 4)));  // the last assignment of a field wins
}

TEST_F(ToneAssemblyTest, AnOlderSettingsFileKeepsTheValuesSoFarWhereItHasNone)
{
    store.writeInt(kSettingsSection, "SharpnessRadius", 20);
    ToneRequest request;
    request.preset = &tonePresets()[0];  // SharpnessRadius 7
    request.settingsFile = dir.file("old.qvl");
    // Version "50LA": the body starts at Gamma; SharpnessRadius is not in it
    // and no rule of that version sets it.
    std::vector<uint8_t> bytes{0x35, 0x30, 0x4C, 0x41};
    for (uint16_t word : {4, 60, 20, 2, 30, 70, 0, 0, 6, 3, 1})
        bytes.insert(bytes.end(), {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8)});
    ASSERT_TRUE(writeBytes(request.settingsFile, bytes));
    const ToneAssembly result = sharedToneSettings(request, store);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.settings.SharpnessRadius, 7);
    EXPECT_EQ(result.settings.Gamma, 4);
    EXPECT_EQ(result.settings.Mode, 1);
    EXPECT_EQ(result.settings.Lightness, 0);  // set by the version's rule
}

TEST_F(ToneAssemblyTest, AnUnreadableSettingsFileIsAnErrorNamingIt)
{
    ToneRequest request;
    request.settingsFile = dir.file("missing.qvl");
    const ToneAssembly missing = sharedToneSettings(request, store);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("Błąd wczytywania „" + request.settingsFile + "”"), std::string::npos);

    ASSERT_TRUE(test::writeTextFile(request.settingsFile, "not a settings file at all, longer than 38 bytes"));
    EXPECT_NE(sharedToneSettings(request, store).error.find("nieznany format"), std::string::npos);

    ASSERT_TRUE(writeBytes(request.settingsFile, {0x51, 0x56, 0x00, 0x20, 1, 0}));
    EXPECT_NE(sharedToneSettings(request, store).error.find("niekompletny"), std::string::npos);
}

TEST_F(ToneAssemblyTest, TheCompanionFileComesBeforeTheAssignments)
{
    const std::string image = dir.file("photo.jpg");
    ASSERT_TRUE(saveToneFile(withDetails(9, 11), dir.file("photo.qvl")).ok());
    ToneRequest request;
    const ToneSettings shared = withDetails(5, 40);

    std::string used;
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, image, &used), withDetails(9, 11)));
    EXPECT_EQ(used, dir.file("photo.qvl"));

    request.assignments = {assign("Details", 2)};
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, image), withDetails(2, 11)));

    request.companion = false;
    used.clear();
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, image, &used), withDetails(2, 40)));
    EXPECT_EQ(used, "");
}

TEST_F(ToneAssemblyTest, AMissingOrBrokenCompanionChangesNothing)
{
    const ToneRequest request;
    const ToneSettings shared = withDetails(3, 30);
    std::string used;
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, dir.file("none.jpg"), &used), shared));

    ASSERT_TRUE(test::writeTextFile(dir.file("broken.qvl"), "QV"));
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, dir.file("broken.jpg"), &used), shared));
    // A folder of the companion's name is no settings file.
    std::filesystem::create_directory(dir.file("folder.qvl"));
    EXPECT_TRUE(sameToneValues(settingsForImage(request, shared, dir.file("folder.png"), &used), shared));
    EXPECT_EQ(used, "");
}

}  // namespace
}  // namespace qv::cli
