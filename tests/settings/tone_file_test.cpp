#include "settings/tone_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "support/temp_dir.h"
#include "text/failure_text.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Values = std::map<std::string, int>;

// The body of the current layout, word by word ("" for a reserved word).
const std::vector<std::string> kBodyWords = {
    "Lightness", "SharpnessRadius", "Sharpness", "GrayPoint", "Softness", "ColorNR",
    "Gamma",     "Contrast",        "Saturation", "DetectSH", "Opacity", "Opacity2",
    "",          "",                "Details",   "Smoothing", "Mode",
};

Values valuesOf(const ToneSettings& s)
{
    Values v;
    for (const ToneField& f : toneFields())
        v[f.name] = s.*f.member;
    return v;
}

ToneSettings withValues(const Values& values)
{
    ToneSettings s;
    for (const auto& [name, value] : values)
        s.*findToneField(name)->member = static_cast<uint16_t>(value);
    return s;
}

// A valid record whose values are neither construction defaults nor any
// value an older file version implies.
ToneSettings distinctBase()
{
    return withValues({{"Opacity", 11}, {"Opacity2", 12}, {"GrayPoint", 13}, {"DetectSH", 4},
                       {"Details", 8}, {"Smoothing", 9}, {"Mode", 6}, {"Saturation", 25},
                       {"Contrast", 77}, {"Gamma", 12}, {"ColorNR", 9}, {"Softness", 140},
                       {"Lightness", 66}, {"Sharpness", 190}, {"SharpnessRadius", 33}});
}

// Values a test file carries, different from distinctBase() and the defaults.
const Values kFileValues = {{"Lightness", 21}, {"SharpnessRadius", 22}, {"Sharpness", 23},
                            {"GrayPoint", 24}, {"Softness", 25}, {"ColorNR", 3},
                            {"Gamma", 2}, {"Contrast", 26}, {"Saturation", 27},
                            {"DetectSH", 2}, {"Opacity", 28}, {"Opacity2", 29},
                            {"Details", 1}, {"Smoothing", 4}, {"Mode", 7}};

void appendWord(Bytes& out, unsigned word)
{
    out.push_back(static_cast<uint8_t>(word & 0xFF));
    out.push_back(static_cast<uint8_t>(word >> 8));
}

// A file of the given tag whose body starts at `firstWord`, built byte by
// byte; reserved words carry junk that a reader must skip.
Bytes buildFile(const Bytes& tag, const std::string& firstWord, const Values& values = kFileValues)
{
    Bytes out = tag;
    bool inBody = false;
    for (const std::string& word : kBodyWords) {
        inBody = inBody || word == firstWord;
        if (inBody)
            appendWord(out, word.empty() ? 0xBEEF : values.at(word));
    }
    return out;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

const Bytes kCurrentTag = {0x51, 0x56, 0x00, 0x20};

TEST(ToneFile, SavedFileHasTheCurrentLayoutAndReadsBackEqual)
{
    test::TempDir dir;
    const std::string path = dir.file("ustawienia.qvl");
    ToneSettings saved = withValues(kFileValues);
    saved.name = "nie zapisywana";
    ASSERT_TRUE(saveToneFile(saved, path).ok());

    Bytes expected = buildFile(kCurrentTag, "Lightness");
    expected[28] = expected[29] = expected[30] = expected[31] = 0;  // reserved words are written 0
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(expected.size(), 38u);

    ToneSettings loaded;
    loaded.name = "bez zmian";
    ASSERT_TRUE(loadToneFile(loaded, path).ok());
    EXPECT_EQ(valuesOf(loaded), valuesOf(saved));
    EXPECT_EQ(loaded.name, "bez zmian");
}

TEST(ToneFile, EncodingIsLittleEndianWhateverTheHost)
{
    ToneSettings s;
    s.Softness = 0x0096;  // 150: high byte 0, low byte 0x96
    s.Sharpness = 0x00C8;
    const auto bytes = encodeToneFile(s);
    EXPECT_EQ(bytes[12], 0x96);
    EXPECT_EQ(bytes[13], 0x00);
    EXPECT_EQ(bytes[8], 0xC8);
    EXPECT_EQ(bytes[9], 0x00);

    // A word's high byte is the second one: 0x2A00 and 0x0100 are out of range.
    Values v = kFileValues;
    v["Lightness"] = 0x002A;
    ToneSettings low;
    ASSERT_EQ(decodeToneFile(buildFile(kCurrentTag, "Lightness", v), low).status, ToneFileStatus::Ok);
    EXPECT_EQ(low.Lightness, 42);
    v["Lightness"] = 0x2A00;
    v["Softness"] = 0x0100;
    ToneSettings high;
    ASSERT_EQ(decodeToneFile(buildFile(kCurrentTag, "Lightness", v), high).status, ToneFileStatus::Ok);
    EXPECT_EQ(high.Lightness, 100);
    EXPECT_EQ(high.Softness, 150);
}

struct OlderVersion {
    Bytes tag;
    std::string firstWord;
    Values setValues;  // what the version implies for fields it lacks
};

const std::vector<OlderVersion> kVersions = {
    {{0x51, 0x56, 0x00, 0x20}, "Lightness", {}},
    {{0x51, 0x56, 0x00, 0x10}, "SharpnessRadius", {{"Lightness", 0}}},
    {{0x39, 0x30, 0x4C, 0x41}, "SharpnessRadius", {{"Lightness", 0}}},
    {{0x38, 0x30, 0x4C, 0x41}, "GrayPoint", {{"Sharpness", 0}, {"Lightness", 0}}},
    {{0x37, 0x30, 0x4C, 0x41}, "Softness", {{"GrayPoint", 50}, {"Sharpness", 0}, {"Lightness", 0}}},
    {{0x36, 0x30, 0x4C, 0x41}, "ColorNR",
     {{"Softness", 0}, {"GrayPoint", 50}, {"Sharpness", 0}, {"Lightness", 0}}},
    {{0x35, 0x30, 0x4C, 0x41}, "Gamma",
     {{"ColorNR", 0}, {"Softness", 0}, {"GrayPoint", 50}, {"Sharpness", 0}, {"Lightness", 0}}},
    {{0x34, 0x30, 0x4C, 0x41}, "Contrast",
     {{"Gamma", 6}, {"ColorNR", 0}, {"Softness", 0}, {"GrayPoint", 50}, {"Sharpness", 0}, {"Lightness", 0}}},
    {{0x33, 0x30, 0x4C, 0x41}, "Saturation",
     {{"Contrast", 50}, {"Gamma", 6}, {"ColorNR", 0}, {"Softness", 0}, {"GrayPoint", 50}, {"Sharpness", 0},
      {"Lightness", 0}}},
    {{0x32, 0x30, 0x4C, 0x41}, "DetectSH",
     {{"Saturation", 10}, {"Contrast", 50}, {"Gamma", 6}, {"ColorNR", 0}, {"Softness", 0}, {"GrayPoint", 50},
      {"Sharpness", 0}, {"Lightness", 0}}},
    {{0x31, 0x30, 0x4C, 0x41}, "Opacity",
     {{"DetectSH", 0}, {"Saturation", 10}, {"Contrast", 50}, {"Gamma", 6}, {"ColorNR", 0}, {"Softness", 0},
      {"GrayPoint", 50}, {"Sharpness", 0}, {"Lightness", 0}}},
};

// Body fields take the file's values, implied fields their version's
// values, everything else keeps the pre-fill.
Values expectedAfterLoad(const OlderVersion& version, const ToneSettings& prefill)
{
    Values expected = valuesOf(prefill);
    bool inBody = false;
    for (const std::string& word : kBodyWords) {
        inBody = inBody || word == version.firstWord;
        if (inBody && !word.empty())
            expected[word] = kFileValues.at(word);
    }
    for (const auto& [name, value] : version.setValues)
        expected[name] = value;
    return expected;
}

TEST(ToneFile, EveryVersionLoadsItsBodyAndImpliedValues)
{
    test::TempDir dir;
    const ToneSettings base = distinctBase();
    for (size_t i = 0; i < kVersions.size(); ++i) {
        const OlderVersion& version = kVersions[i];
        SCOPED_TRACE("version row " + std::to_string(i));
        const std::string path = dir.file("stary.qvl");
        const Bytes file = buildFile(version.tag, version.firstWord);
        writeFile(path, file);

        ToneSettings withBase;
        ASSERT_TRUE(loadToneFile(withBase, path, &base).ok());
        EXPECT_EQ(valuesOf(withBase), expectedAfterLoad(version, base));

        ToneSettings withoutBase = distinctBase();
        ASSERT_TRUE(loadToneFile(withoutBase, path).ok());
        EXPECT_EQ(valuesOf(withoutBase), expectedAfterLoad(version, ToneSettings{}));

        ToneSettings decoded = base;
        EXPECT_EQ(decodeToneFile(file, decoded).size, file.size());
    }
}

TEST(ToneFile, VersionWithoutLightnessSwitchesTheLightStageOff)
{
    ToneSettings s;
    ASSERT_EQ(decodeToneFile(buildFile({0x51, 0x56, 0x00, 0x10}, "SharpnessRadius"), s).status, ToneFileStatus::Ok);
    EXPECT_EQ(s.Lightness, 0);
}

TEST(ToneFile, EveryWordIsClampedIntoItsRange)
{
    Values all = kFileValues;
    for (auto& [name, value] : all)
        value = 0xFFFF;
    ToneSettings s;
    ASSERT_EQ(decodeToneFile(buildFile(kCurrentTag, "Lightness", all), s).status, ToneFileStatus::Ok);
    EXPECT_EQ(valuesOf(s), (Values{{"Opacity", 100}, {"Opacity2", 100}, {"GrayPoint", 100}, {"DetectSH", 5},
                                   {"Details", 9}, {"Smoothing", 10}, {"Mode", 8}, {"Saturation", 30},
                                   {"Contrast", 100}, {"Gamma", 13}, {"ColorNR", 10}, {"Softness", 150},
                                   {"Lightness", 100}, {"Sharpness", 200}, {"SharpnessRadius", 40}}));

    for (const auto& [radius, expected] : std::vector<std::pair<int, int>>{{0, 4}, {2, 4}, {4, 4}, {40, 40}, {41, 40}}) {
        Values v = kFileValues;
        v["SharpnessRadius"] = radius;
        ToneSettings r;
        ASSERT_EQ(decodeToneFile(buildFile(kCurrentTag, "Lightness", v), r).status, ToneFileStatus::Ok);
        EXPECT_EQ(r.SharpnessRadius, expected) << "stored " << radius;
    }
}

TEST(ToneFile, UnknownTagLeavesExactlyThePrefill)
{
    test::TempDir dir;
    const ToneSettings base = distinctBase();
    const std::vector<Bytes> tags = {{0x51, 0x56, 0x00, 0x00}, {0x51, 0x56, 0x00, 0x30}, {0x30, 0x30, 0x4C, 0x41},
                                     {0x3A, 0x30, 0x4C, 0x41}, {0x31, 0x30, 0x4C, 0x42}, {0x20, 0x00, 0x56, 0x51}};
    for (const Bytes& tag : tags) {
        const std::string path = dir.file("obcy.qvl");
        writeFile(path, buildFile(tag, "Lightness"));
        ToneSettings withBase = withValues(kFileValues);
        EXPECT_EQ(loadToneFile(withBase, path, &base).status, ToneFileStatus::UnknownTag);
        EXPECT_EQ(valuesOf(withBase), valuesOf(base));
        ToneSettings withoutBase = base;
        EXPECT_EQ(loadToneFile(withoutBase, path).status, ToneFileStatus::UnknownTag);
        EXPECT_EQ(valuesOf(withoutBase), valuesOf(ToneSettings{}));
    }
}

TEST(ToneFile, FileShorterThanItsLayoutFailsWithThePrefill)
{
    test::TempDir dir;
    const ToneSettings base = distinctBase();
    const std::string path = dir.file("krotki.qvl");
    for (const OlderVersion& version : kVersions) {
        Bytes file = buildFile(version.tag, version.firstWord);
        file.pop_back();
        writeFile(path, file);
        ToneSettings record;
        EXPECT_EQ(loadToneFile(record, path, &base).status, ToneFileStatus::Truncated);
        EXPECT_EQ(valuesOf(record), valuesOf(base));
    }
    for (const Bytes& file : std::vector<Bytes>{{}, {0x51, 0x56, 0x00}, {0x51, 0x56, 0x00, 0x20}}) {
        writeFile(path, file);
        ToneSettings record;
        EXPECT_EQ(loadToneFile(record, path, &base).status, ToneFileStatus::Truncated) << file.size() << " bytes";
        EXPECT_EQ(valuesOf(record), valuesOf(base));
    }
}

TEST(ToneFile, BytesAfterTheLayoutAreIgnored)
{
    Bytes file = buildFile(kCurrentTag, "Lightness");
    file.insert(file.end(), {0xFF, 0xFF, 0x01});
    ToneSettings s;
    const ToneFileDecode result = decodeToneFile(file, s);
    EXPECT_EQ(result.status, ToneFileStatus::Ok);
    EXPECT_EQ(result.size, kToneFileSize);
    EXPECT_EQ(valuesOf(s), kFileValues);
}

TEST(ToneFile, UnreadableFileReportsTheSystemMessage)
{
    test::TempDir dir;
    const ToneSettings base = distinctBase();
    ToneSettings record;
    ToneFileResult missing = loadToneFile(record, dir.file("brak.qvl"), &base);
    EXPECT_EQ(missing.status, ToneFileStatus::IoError);
    EXPECT_EQ(missing.systemMessage, failureReason(ENOENT));
    EXPECT_EQ(valuesOf(record), valuesOf(base));

    fs::create_directory(dir.file("folder.qvl"));
    ToneFileResult folder = loadToneFile(record, dir.file("folder.qvl"), &base);
    EXPECT_EQ(folder.status, ToneFileStatus::IoError);
    EXPECT_EQ(folder.systemMessage, failureReason(EISDIR));

    // A pipe is refused rather than waited on.
    ASSERT_EQ(::mkfifo(dir.file("pipe.qvl").c_str(), 0600), 0);
    ToneFileResult pipe = loadToneFile(record, dir.file("pipe.qvl"), &base);
    EXPECT_EQ(pipe.status, ToneFileStatus::IoError);
    EXPECT_EQ(pipe.systemMessage, failureReason(kErrorNotRegularFile));
    EXPECT_EQ(valuesOf(record), valuesOf(base));
}

TEST(ToneFile, SaveReplacesAnExistingFile)
{
    test::TempDir dir;
    const std::string path = dir.file("ustawienia.qvl");
    writeFile(path, Bytes(100, 0xAB));
    ASSERT_TRUE(saveToneFile(distinctBase(), path).ok());
    EXPECT_EQ(readFile(path).size(), kToneFileSize);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"ustawienia.qvl"});
}

TEST(ToneFile, FailedSaveLeavesNoFileBehind)
{
    test::TempDir dir;
    ToneFileResult noFolder = saveToneFile(distinctBase(), dir.file("brak/ustawienia.qvl"));
    EXPECT_EQ(noFolder.status, ToneFileStatus::IoError);
    EXPECT_EQ(noFolder.systemMessage, failureReason(ENOENT));
    EXPECT_TRUE(folderEntries(dir.path()).empty());

    // A folder in the target's place stays as it was.
    const std::string target = dir.file("cel.qvl");
    fs::create_directory(target);
    writeFile(target + "/zawartosc", {1, 2, 3});
    ToneFileResult onFolder = saveToneFile(distinctBase(), target);
    EXPECT_EQ(onFolder.status, ToneFileStatus::IoError);
    EXPECT_FALSE(onFolder.systemMessage.empty());
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"cel.qvl"});
    EXPECT_EQ(folderEntries(target), std::vector<std::string>{"zawartosc"});
}

TEST(ToneFilePaths, CompanionFileReplacesOnlyTheFileNameExtension)
{
    EXPECT_EQ(companionToneFilePath("/zdjecia/IMG_0001.jpg"), "/zdjecia/IMG_0001.qvl");
    EXPECT_EQ(companionToneFilePath("/zdjecia/wakacje.2023.tif"), "/zdjecia/wakacje.2023.qvl");
    EXPECT_EQ(companionToneFilePath("/zdjecia.stare/IMG_0001"), "/zdjecia.stare/IMG_0001.qvl");
    EXPECT_EQ(companionToneFilePath("./IMG_0001"), "./IMG_0001.qvl");
    EXPECT_EQ(companionToneFilePath("IMG_0001.CR2"), "IMG_0001.qvl");
    EXPECT_EQ(companionToneFilePath("/zdjecia/.ukryty"), "/zdjecia/.ukryty.qvl");
    EXPECT_EQ(companionToneFilePath("/zdjecia/kropka."), "/zdjecia/kropka.qvl");
    EXPECT_EQ(pathWithoutExtension("/a.b/c.d.e"), "/a.b/c.d");
}

}  // namespace
}  // namespace qv
