#include "settings/user_presets.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/tone_file_format.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

ToneSettings preset(const std::string& name, uint16_t details)
{
    ToneSettings s;
    s.name = name;
    s.Details = details;
    s.Softness = static_cast<uint16_t>(details * 10);
    return s;
}

// A presets file of `count` entries named "P0", "P1", ... by hand, in the
// documented layout, so that the reader is checked against the layout and
// not against the writer.
Bytes handMadeFile(std::size_t count)
{
    Bytes out{0x51, 0x56, 0x00, 0x00, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "P" + std::to_string(i);
        out.push_back(static_cast<uint8_t>(2 * name.size()));
        out.push_back(0);
        for (char c : name)
            out.insert(out.end(), {static_cast<uint8_t>(c), 0});
        const auto record = encodeToneFile(preset("", static_cast<uint16_t>(i % 10)));
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

TEST(UserPresetsFile, ReadsAtMostFortyNineEntriesInOrder)
{
    UserPresetList list;
    ASSERT_EQ(decodeUserPresets(handMadeFile(60), list), UserPresetsStatus::Ok);
    ASSERT_EQ(list.size(), 49u);
    EXPECT_EQ(list[0].name, "P0");
    EXPECT_EQ(list[48].name, "P48");
    EXPECT_EQ(list[48].Details, 8);
    EXPECT_EQ(list[48].Softness, 80);
}

TEST(UserPresetsFile, WrongTagLoadsNothingAndADamagedEntryKeepsTheOnesBefore)
{
    Bytes wrongTag = handMadeFile(3);
    wrongTag[3] = 0x20;
    UserPresetList list;
    EXPECT_EQ(decodeUserPresets(wrongTag, list), UserPresetsStatus::WrongTag);
    EXPECT_TRUE(list.empty());

    const Bytes whole = handMadeFile(3);
    const std::size_t entrySize = (whole.size() - 6) / 3;
    // Cut inside the third entry's record, then inside its name; then spoil its record's tag.
    for (std::size_t keep : {whole.size() - 5, 6 + 2 * entrySize + 3}) {
        list.clear();
        EXPECT_EQ(decodeUserPresets(std::span(whole.data(), keep), list), UserPresetsStatus::Damaged);
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[1].name, "P1");
    }
    Bytes badRecord = whole;
    badRecord[6 + 2 * entrySize + 2 + 4] = 'X';
    list.clear();
    EXPECT_EQ(decodeUserPresets(badRecord, list), UserPresetsStatus::Damaged);
    EXPECT_EQ(list.size(), 2u);
}

TEST(UserPresetsFile, WriteReadRoundTripIsByteForByte)
{
    test::TempDir dir;
    const std::string path = dir.file("UserSettings.qvl");
    const UserPresetList written{preset("Zachód słońca", 3), preset("Noc \xF0\x9F\x8C\x99", 9), preset("x", 0)};
    ASSERT_TRUE(saveUserPresets(written, path).ok());
    const std::string first = test::fileBytes(path);
    // The first entry's header: length 26 (13 UTF-16 units), then "Z" in UTF-16LE.
    EXPECT_EQ(first.substr(0, 10), std::string("QV\0\0\3\0\x1A\0Z\0", 10));

    UserPresetList read;
    ASSERT_TRUE(loadUserPresets(read, path).ok());
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].name, written[i].name);
        EXPECT_TRUE(sameToneValues(read[i], written[i]));
    }
    ASSERT_TRUE(saveUserPresets(read, path).ok());
    EXPECT_EQ(test::fileBytes(path), first);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(UserPresetsFile, MissingFileIsQuietAndOtherFailuresCarryTheSystemText)
{
    test::TempDir dir;
    UserPresetList list;
    EXPECT_EQ(loadUserPresets(list, dir.file("none.qvl")).status, UserPresetsStatus::Missing);
    EXPECT_EQ(loadUserPresets(list, dir.path().string()).status, UserPresetsStatus::IoError);

    const UserPresetsResult missingFolder = saveUserPresets({preset("a", 1)}, dir.file("no/such/folder.qvl"));
    EXPECT_EQ(missingFolder.status, UserPresetsStatus::IoError);
    EXPECT_FALSE(missingFolder.systemMessage.empty());
}

TEST(UserPresetRules, NamesAreCutToThirtyUnitsAndProposedFromTheImageName)
{
    EXPECT_EQ(truncatePresetName(std::string(35, 'a')), std::string(30, 'a'));
    // 29 letters and a character of two UTF-16 units: the pair is not split.
    EXPECT_EQ(truncatePresetName(std::string(29, 'b') + "\xF0\x9F\x8C\x99"), std::string(29, 'b'));
    EXPECT_EQ(presetNameLength("Ścieżka"), 7u);
    EXPECT_EQ(proposedPresetName("IMG_1.2.jpg"), "IMG_1.2");
    EXPECT_EQ(proposedPresetName("scene"), "scene");
}

}  // namespace
}  // namespace qv
