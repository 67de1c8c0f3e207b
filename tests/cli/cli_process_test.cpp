// Runs the built tool as a user would, on the shared test photos, with a
// temporary home folder so that the user's own configuration is never read
// or written.

#include <gtest/gtest.h>

#include <QImageReader>
#include <tiffio.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/settings_store.h"
#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "imageio/load_thread.h"
#include "imageio/save_image.h"
#include "settings/app_config.h"
#include "settings/tone_defaults.h"
#include "settings/tone_file.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_files.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> entriesOf(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A settings file of an older version: its tag "<digit>0LA" and the words of
// its body, which start further down the record than the current one's.
bool writeOldSettingsFile(const std::string& path, char digit, std::initializer_list<uint16_t> words)
{
    std::string bytes{digit, '0', 'L', 'A'};
    for (const uint16_t word : words)
        bytes += {static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
    return test::writeTextFile(path, bytes);
}

// What the program's own functions write for these files, settings and
// options: the load thread, one pipeline run and the save, in this process.
struct Reference {
    std::vector<std::string> files;
    ToneSettings tone;
    AppConfig config;
    SaveOptions save;
};

bool writeReference(const Reference& r)
{
    ImageIoContext ctx;
    PipelineState state;
    ctx.pipeline = &state;
    ctx.fileList = r.files;
    ctx.config = r.config;
    if (runLoadThread(ctx) != ThreadResult::Done)
        return false;
    ctx.current = r.tone;
    ctx.dirtyMask = DirtyBits::NewImage;
    return runPipeline(ctx, state, pipelineStages()) && saveImage(ctx, state, r.save);
}

// The stored defaults of an empty store: what a user without a configuration gets.
ToneSettings storedDefaults(const KeyValueStore& store = MemoryStore())
{
    ToneSettings s;
    readToneDefaults(store, s);
    return s;
}

AppConfig previewConfig(int mode)
{
    AppConfig config;
    config.previewMode = mode;
    return config;
}

struct TiffShape {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0;
};

TiffShape tiffShape(const std::string& path)
{
    TiffShape shape;
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    if (TIFF* tif = TIFFOpen(path.c_str(), "r")) {
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &shape.width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &shape.height);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &shape.bits);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &shape.samples);
        TIFFClose(tif);
    }
    return shape;
}

class CliProcess : public ::testing::Test {
protected:
    test::ProcessResult cli(std::vector<std::string> args, std::string interruptOn = {}, bool terminal = false)
    {
        test::ProcessRun run = runFor(std::move(args));
        run.stderrIsTerminal = terminal;
        run.interruptOn = std::move(interruptOn);
        return test::runProcess(QV_CLI_PATH, run);
    }

    // A run of the tool under the temporary home.
    test::ProcessRun runFor(std::vector<std::string> args) const
    {
        test::ProcessRun run;
        run.args = std::move(args);
        run.env = {{"HOME", home.path().string()},
                   {"XDG_CONFIG_HOME", (home.path() / ".config").string()},
                   {"QT_QPA_PLATFORM", "offscreen"},
                   {"LC_ALL", "C"}};  // the system's error texts as the tests expect them
        return run;
    }

    // The store the tool reads under the temporary home.
    QSettingsStore userStore() { return QSettingsStore((home.path() / ".config/Quorvelin/Quorvelin.conf").string()); }

    std::string out(const std::string& name) const { return outDir.file(name); }

    test::TempDir home;
    test::TempDir outDir;
};

// The run failed with exit code `code` and one line naming the problem.
::testing::AssertionResult failedWith(const test::ProcessResult& r, int code, std::initializer_list<std::string> pieces)
{
    if (r.exitCode != code)
        return ::testing::AssertionFailure() << "exit code " << r.exitCode << ", stderr: " << r.err;
    const std::string lastLine = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    if (lastLine.rfind("quorvelin-cli: ", 0) != 0)
        return ::testing::AssertionFailure() << "no error line: " << r.err;
    for (const std::string& piece : pieces)
        if (lastLine.find(piece) == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << lastLine << "\" lacks \"" << piece << "\"";
    return ::testing::AssertionSuccess();
}

TEST_F(CliProcess, VersionAndHelp)
{
    const test::ProcessResult version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Quorvelin 1.1.2\n");

    const test::ProcessResult help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* piece : {"Użycie: quorvelin-cli", "--each", "Krajobraz 3", "tiff16", "130"})
        EXPECT_NE(help.out.find(piece), std::string::npos) << piece;
}

TEST_F(CliProcess, WrongUsageExitsWithTwoAndWritesNothing)
{
    const std::string photo = test::testDataPath("photo_landscape_moraine_lake.jpg");
    const std::string target = out("x.jpg");
    EXPECT_TRUE(failedWith(cli({photo, "-o", target, "--frobnicate"}), 2, {"„--frobnicate”"}));
    EXPECT_TRUE(failedWith(cli({photo, "-o", target, "-q", "120"}), 2, {"0 do 100"}));
    EXPECT_TRUE(failedWith(cli({photo, "-o", target, "-p", "Plaża"}), 2, {"„Plaża”", "1 Krajobraz", "8 Ludzie B&W"}));
    EXPECT_TRUE(failedWith(cli({photo, "-o", target, "--set", "Gamma=14"}), 2, {"Gamma", "0 do 13"}));
    EXPECT_TRUE(failedWith(cli({photo, "-o", out("x.webp")}), 2, {"-t jpeg|tiff8|tiff16"}));
    EXPECT_TRUE(failedWith(cli({photo}), 2, {"-o PLIK"}));
    EXPECT_TRUE(entriesOf(outDir.path()).empty());
}

// Every broken input fails on one line that names the file and what is wrong
// with it, in the program's words: no library's or system's English on the
// terminal, and nothing waits on a pipe.
TEST_F(CliProcess, BrokenFilesFailWithTheReasonAndKeepAnExistingOutput)
{
    const std::string target = out("keep.jpg");
    ASSERT_TRUE(test::writeTextFile(target, "an earlier result"));
    test::TempDir inputs;
    const std::string png = test::fileBytes(test::testDataPath("png16_room_backlit_windows.png"));
    ASSERT_TRUE(test::writeTextFile(inputs.file("cut.png"), png.substr(0, png.size() / 2)));
    const std::string dng = test::fileBytes(test::testDataPath("raw_nikon_d500_darkframe_lossy.dng"));
    ASSERT_TRUE(test::writeTextFile(inputs.file("cut.dng"), dng.substr(0, dng.size() * 99 / 100)));
    ASSERT_TRUE(test::writeTextFile(inputs.file("empty.crw"), ""));
    ASSERT_EQ(::mkfifo(inputs.file("pipe.jpg").c_str(), 0600), 0);
    fs::create_directory(inputs.file("folder.png"));
    const std::string damaged = "plik jest uszkodzony lub ucięty";
    const std::vector<std::pair<std::string, std::string>> cases{
        {test::testDataPath("bad_empty.jpg"), "plik jest pusty"},
        {inputs.file("empty.crw"), "plik jest pusty"},
        {test::testDataPath("bad_truncated.jpg"), damaged},
        {test::testDataPath("bad_truncated_16bit.tif"), damaged},
        {inputs.file("cut.png"), damaged},
        {inputs.file("cut.dng"), damaged},
        {test::testDataPath("bad_huge_100000x100000.tif"), "obraz jest za duży: 100000 × 100000 pikseli"},
        {test::testDataPath("edge_tiny_15x200.png"), "obraz jest za mały: 15 × 200 pikseli, a najmniej 16"},
        {test::testDataPath("no_such_file.png"), "nie ma takiego pliku"},
        {inputs.file("pipe.jpg"), "to nie jest zwykły plik"},
        {inputs.file("folder.png"), "to jest folder"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const test::ProcessResult r = cli({path, "-o", target, "--quiet"});
        EXPECT_TRUE(failedWith(r, 1, {"Błąd wczytywania „" + path + "”: " + reason}));
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(readAll(target), "an earlier result");
        EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"keep.jpg"});
    }
    const test::ProcessResult unknown = cli({test::testDataPath("bad_text_renamed.png"), "-o", target, "--quiet"});
    EXPECT_EQ(unknown.err, "quorvelin-cli: Nieznany format obrazu „" + test::testDataPath("bad_text_renamed.png") + "”\n");
}

TEST_F(CliProcess, ATerminalSeesABarRedrawnInPlaceAPipePlainLines)
{
    const std::string broken = test::testDataPath("bad_text_renamed.png");
    const test::ProcessResult terminal = cli({broken, "-o", out("x.jpg")}, {}, /*terminal=*/true);
    EXPECT_EQ(terminal.exitCode, 1);
    // How far the load got before the first look is the thread's business.
    EXPECT_EQ(terminal.err.rfind("\r[", 0), 0u) << terminal.err;
    EXPECT_NE(terminal.err.find("%  Wczytywanie obrazu ("), std::string::npos) << terminal.err;
    EXPECT_NE(terminal.err.find("%)\033[K"), std::string::npos) << terminal.err;
    // The bar is wiped before the error line.
    EXPECT_NE(terminal.err.find("\r\033[Kquorvelin-cli: Nieznany format obrazu"), std::string::npos) << terminal.err;

    const test::ProcessResult pipe = cli({broken, "-o", out("x.jpg")});
    EXPECT_EQ(pipe.err.rfind("Wczytywanie obrazu (", 0), 0u) << pipe.err;
    EXPECT_NE(pipe.err.find("%)\nquorvelin-cli: Nieznany format obrazu"), std::string::npos) << pipe.err;
    EXPECT_EQ(pipe.err.find('\r'), std::string::npos) << pipe.err;
}

TEST_F(CliProcess, AnUnreadableSettingsFileFailsBeforeLoading)
{
    const test::ProcessResult r = cli({test::testDataPath("photo_landscape_moraine_lake.jpg"), "-o", out("x.jpg"),
                                       "-s", out("missing.qvl")});
    EXPECT_TRUE(failedWith(r, 1, {"Błąd wczytywania", "missing.qvl"}));
    EXPECT_EQ(r.err.find("Wczytywanie obrazu"), std::string::npos);
    EXPECT_TRUE(entriesOf(outDir.path()).empty());
}

TEST_F(CliProcess, SettingsAloneAreSavedWithoutAnImage)
{
    const std::string file = out("mine.qvl");
    ASSERT_EQ(cli({"-p", "ludzie", "--set", "Sharpness=120", "--save-settings", file}).exitCode, 0);
    EXPECT_EQ(fs::file_size(file), kToneFileSize);
    ToneSettings read;
    ASSERT_TRUE(loadToneFile(read, file).ok());
    ToneSettings expected = tonePresets()[6].settings;
    expected.Sharpness = 120;
    EXPECT_TRUE(sameToneValues(read, expected));
}

TEST_F(CliProcess, SettingsLayersApplyStoreThenPresetThenFileThenCompanionThenSet)
{
    {
        QSettingsStore store = userStore();
        store.writeInt(kSettingsSection, "SharpnessRadius", 20);
        store.writeInt(kSettingsSection, "Details", 2);
        ASSERT_TRUE(store.sync());
    }
    // Version "80LA" holds GrayPoint .. Mode, sets Sharpness and Lightness to 0
    // and leaves SharpnessRadius as the layers below gave it.
    const std::string older = out("older.qvl");
    ASSERT_TRUE(writeOldSettingsFile(older, '8', {60, 20, 3, 8, 30, 15, 2, 70, 80, 0, 0, 6, 4, 7}));
    ToneSettings fromOlder;
    fromOlder.GrayPoint = 60, fromOlder.Softness = 20, fromOlder.ColorNR = 3, fromOlder.Gamma = 8;
    fromOlder.Contrast = 30, fromOlder.Saturation = 15, fromOlder.DetectSH = 2, fromOlder.Opacity = 70;
    fromOlder.Opacity2 = 80, fromOlder.Details = 6, fromOlder.Smoothing = 4, fromOlder.Mode = 7;
    fromOlder.Sharpness = 0, fromOlder.Lightness = 0;

    // Stored defaults, then the preset (its radius 7 over the stored 20), the
    // file, and --set over the file's own rule.
    const std::string saved = out("saved.qvl");
    ASSERT_EQ(cli({"-p", "kworwelia", "-s", older, "--set", "Sharpness=9", "--save-settings", saved}).exitCode, 0);
    ToneSettings expected = fromOlder;
    expected.SharpnessRadius = 7;
    expected.Sharpness = 9;
    ToneSettings read;
    ASSERT_TRUE(loadToneFile(read, saved).ok());
    EXPECT_TRUE(sameToneValues(read, expected));

    // The companion goes over the settings file (keeping its radius 25), --set over both.
    const std::string photo = out("photo.bmp");
    ASSERT_TRUE(test::copyFile(test::testDataPath("bmp24_moraine_lake_640x480.bmp"), photo));
    ASSERT_TRUE(test::copyFile(older, out("photo.qvl")));
    ToneSettings file = tonePresets()[0].settings;
    file.SharpnessRadius = 25;
    ASSERT_TRUE(saveToneFile(file, out("file.qvl")).ok());
    const test::ProcessResult r = cli({photo, "-o", out("photo.jpg"), "-s", out("file.qvl"), "--set", "Mode=2",
                                       "--save-settings", saved, "--preview", "800"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expected = fromOlder;
    expected.SharpnessRadius = 25;
    expected.Mode = 2;
    ASSERT_TRUE(loadToneFile(read, saved).ok());
    EXPECT_TRUE(sameToneValues(read, expected));
}

TEST_F(CliProcess, JpegIsBitForBitWhatTheLibraryWrites)
{
    const std::string photo = test::testDataPath("photo_landscape_moraine_lake.jpg");
    const test::ProcessResult r = cli({photo, "-o", out("cli.jpg"), "--preview", "800", "--threads", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Zapisano „" + out("cli.jpg") + "” (800 x 600)"), std::string::npos) << r.err;

    const SaveOptions save{out("lib.jpg"), SaveFileType::Jpeg, 90};
    ASSERT_TRUE(writeReference({{photo}, storedDefaults(), previewConfig(1), save}));
    EXPECT_TRUE(readAll(out("cli.jpg")) == readAll(out("lib.jpg")));
    QImageReader reader(QString::fromStdString(out("cli.jpg")));
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(800, 600));
}

TEST_F(CliProcess, RawToSixteenBitTiffWithPresetAndRawOptions)
{
    const std::string raw = test::testDataPath("raw_kodak_dc50.kdc");
    const test::ProcessResult r = cli({raw, "-o", out("cli.TIFF"), "-p", "Krajobraz 3", "--set", "Sharpness=50",
                                       "--no-raw-nr", "--raw-auto-wb", "--light-recovery", "--quiet"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    Reference ref{{raw}, tonePresets()[2].settings, {}, {out("lib.tif"), SaveFileType::Tiff16}};
    ref.tone.Sharpness = 50;
    ref.config.rawNoiseReduction = false;
    ref.config.rawAutoWhiteBalance = true;
    ref.config.lightRecovery = true;
    ASSERT_TRUE(writeReference(ref));
    EXPECT_TRUE(readAll(out("cli.TIFF")) == readAll(out("lib.tif")));
    const TiffShape shape = tiffShape(out("cli.TIFF"));
    EXPECT_EQ(shape.bits, 16);
    EXPECT_EQ(shape.samples, 3);
    EXPECT_EQ(shape.width, 768u);
    EXPECT_EQ(shape.height, 512u);
}

TEST_F(CliProcess, ResizedEightBitTiffKeepsTheProportions)
{
    const std::string bmp = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    ASSERT_EQ(cli({bmp, "-o", out("cli.png"), "-t", "tiff8", "--resize", "320x320"}).exitCode, 0);
    // Never enlarged: a box larger than the image keeps its size.
    ASSERT_EQ(cli({bmp, "-o", out("big.jpg"), "--resize", "4000x4000"}).exitCode, 0);

    SaveOptions save{out("lib.tif"), SaveFileType::Tiff8, 90, true, 320, 240};
    ASSERT_TRUE(writeReference({{bmp}, storedDefaults(), {}, save}));
    EXPECT_TRUE(readAll(out("cli.png")) == readAll(out("lib.tif")));
    const TiffShape shape = tiffShape(out("cli.png"));
    EXPECT_EQ(shape.bits, 8);
    EXPECT_EQ(shape.width, 320u);
    EXPECT_EQ(shape.height, 240u);
    EXPECT_EQ(QImageReader(QString::fromStdString(out("big.jpg"))).size(), QSize(640, 480));
}

TEST_F(CliProcess, StoredDefaultsAndJpegQualityComeFromTheUsersStore)
{
    {
        QSettingsStore store = userStore();
        store.writeInt(kSettingsSection, "Details", 2);
        store.writeInt(kSettingsSection, "Mode", 1);
        store.writeInt(kSettingsSection, "JPEGRatio", 40);
        ASSERT_TRUE(store.sync());
    }
    const std::string photo = test::testDataPath("photo_architecture_nagoya_castle.jpg");
    ASSERT_EQ(cli({photo, "-o", out("stored.jpg"), "--preview", "800"}).exitCode, 0);
    ASSERT_EQ(cli({photo, "-o", out("factory.jpg"), "--preview", "800", "--factory"}).exitCode, 0);

    ASSERT_TRUE(writeReference({{photo}, storedDefaults(userStore()), previewConfig(1),
                                {out("lib_stored.jpg"), SaveFileType::Jpeg, 40}}));
    ASSERT_TRUE(writeReference({{photo}, ToneSettings{}, previewConfig(1),
                                {out("lib_factory.jpg"), SaveFileType::Jpeg, 40}}));
    EXPECT_TRUE(readAll(out("stored.jpg")) == readAll(out("lib_stored.jpg")));
    EXPECT_TRUE(readAll(out("factory.jpg")) == readAll(out("lib_factory.jpg")));
    EXPECT_FALSE(readAll(out("stored.jpg")) == readAll(out("factory.jpg")));
}

TEST_F(CliProcess, TheCompanionSettingsFileAppliesUnlessSwitchedOff)
{
    const std::string photo = outDir.file("photo.bmp");
    ASSERT_TRUE(test::copyFile(test::testDataPath("bmp24_moraine_lake_640x480.bmp"), photo));
    ASSERT_TRUE(saveToneFile(tonePresets()[8].settings, outDir.file("photo.qvl")).ok());

    const test::ProcessResult r = cli({photo, "-o", out("with.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Ustawienia z pliku „" + outDir.file("photo.qvl") + "”"), std::string::npos) << r.err;
    ASSERT_EQ(cli({photo, "-o", out("without.jpg"), "--no-companion"}).exitCode, 0);

    ASSERT_TRUE(writeReference({{photo}, tonePresets()[8].settings, {}, {out("lib_with.jpg"), SaveFileType::Jpeg}}));
    ASSERT_TRUE(writeReference({{photo}, storedDefaults(), {}, {out("lib_without.jpg"), SaveFileType::Jpeg}}));
    EXPECT_TRUE(readAll(out("with.jpg")) == readAll(out("lib_with.jpg")));
    EXPECT_TRUE(readAll(out("without.jpg")) == readAll(out("lib_without.jpg")));
}

TEST_F(CliProcess, SeveralFilesAreMergedAsExposures)
{
    std::vector<std::string> bracket;
    for (const char* name : {"bracket_arch_1_0.033s.jpg", "bracket_arch_2_0.25s.jpg", "bracket_arch_3_2.5s.jpg",
                             "bracket_arch_4_15s.jpg"})
        bracket.push_back(test::testDataPath(name));
    std::vector<std::string> args = bracket;
    args.insert(args.end(), {"-o", out("merged.jpg"), "--preview", "800"});
    const test::ProcessResult r = cli(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    ASSERT_TRUE(writeReference({bracket, storedDefaults(), previewConfig(1), {out("lib.jpg"), SaveFileType::Jpeg}}));
    EXPECT_TRUE(readAll(out("merged.jpg")) == readAll(out("lib.jpg")));
    EXPECT_EQ(QImageReader(QString::fromStdString(out("merged.jpg"))).size(), QSize(800, 600));
}

TEST_F(CliProcess, ExposuresFindTheCompanionUnderTheirCombinedName)
{
    std::vector<std::string> frames{out("scene_1.jpg"), out("scene_2.jpg")};
    ASSERT_TRUE(test::copyFile(test::testDataPath("bracket_arch_2_0.25s.jpg"), frames[0]));
    ASSERT_TRUE(test::copyFile(test::testDataPath("bracket_arch_3_2.5s.jpg"), frames[1]));
    ASSERT_TRUE(saveToneFile(tonePresets()[9].settings, out("scene_1_2.qvl")).ok());
    // Given in either order, the frames name the same companion.
    const test::ProcessResult r = cli({frames[1], frames[0], "-o", out("scene.jpg"), "--preview", "800"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Ustawienia z pliku „" + out("scene_1_2.qvl") + "”"), std::string::npos) << r.err;

    ASSERT_TRUE(writeReference(
        {{frames[1], frames[0]}, tonePresets()[9].settings, previewConfig(1), {out("lib.jpg"), SaveFileType::Jpeg}}));
    EXPECT_TRUE(readAll(out("scene.jpg")) == readAll(out("lib.jpg")));
}

TEST_F(CliProcess, EachGoesOnPastFailuresAndSumsUp)
{
    const std::string folder = out("results/today");  // made by the tool
    const std::string broken = test::testDataPath("bad_text_renamed.png");
    const std::string tiny = test::testDataPath("edge_tiny_15x200.png");
    const test::ProcessResult r =
        cli({"--each", test::testDataPath("bmp24_moraine_lake_640x480.bmp"), broken, tiny,
             test::testDataPath("tiff16_d30_linear_gray.tif"), "-d", folder, "-t", "jpeg", "--preview", "800"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::vector<std::string> written{"bmp24_moraine_lake_640x480.jpg", "tiff16_d30_linear_gray.jpg"};
    EXPECT_EQ(entriesOf(folder), written);
    EXPECT_NE(r.err.find("Nieznany format obrazu „" + broken + "”"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Gotowe: 2 z 4 plików; nieudane (2): „" + broken + "” „" + tiny + "”"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("[4/4] tiff16_d30_linear_gray.tif"), std::string::npos) << r.err;
    EXPECT_EQ(QImageReader(QString::fromStdString(folder + "/tiff16_d30_linear_gray.jpg")).size(), QSize(800, 532));

    // A target that cannot be written fails that file alone, before it is loaded.
    const std::string gray = test::testDataPath("tiff16_d30_linear_gray.tif");
    fs::remove(folder + "/tiff16_d30_linear_gray.jpg");
    fs::create_directory(folder + "/tiff16_d30_linear_gray.jpg");
    const test::ProcessResult again =
        cli({"--each", test::testDataPath("bmp24_moraine_lake_640x480.bmp"), gray,
             test::testDataPath("png16_room_backlit_windows.png"), "-d", folder, "-t", "jpeg", "--preview", "800"});
    EXPECT_EQ(again.exitCode, 1) << again.err;
    EXPECT_NE(again.err.find("Błąd zapisu „" + folder + "/tiff16_d30_linear_gray.jpg”: to jest folder, a nie plik"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(again.err.find("[2/3] tiff16_d30_linear_gray.tif  Wczytywanie"), std::string::npos) << again.err;
    EXPECT_NE(again.err.find("Gotowe: 2 z 3 plików; nieudane (1): „" + gray + "”"), std::string::npos) << again.err;
    EXPECT_TRUE(fs::exists(folder + "/png16_room_backlit_windows.jpg"));

    const test::ProcessResult single = cli({"--each", test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-d",
                                            folder, "-t", "tiff8", "--preview", "800"});
    EXPECT_EQ(single.exitCode, 0) << single.err;
    EXPECT_NE(single.err.find("Gotowe: 1 z 1 pliku"), std::string::npos) << single.err;
}

TEST_F(CliProcess, CtrlCAbortsWith130AndLeavesTheOutputAlone)
{
    const std::string target = out("night.tif");
    ASSERT_TRUE(test::writeTextFile(target, "an earlier result"));
    // Standard error is a pipe, so progress comes as plain lines; the first
    // line of the detail extraction shows that processing has begun.
    const std::string photo = test::testDataPath("photo_night_street_shop.jpg");
    const test::ProcessResult r = cli({photo, "-o", target, "--threads", "1"}, "Przetwarzanie: ");
    ASSERT_TRUE(r.interruptSent) << r.err;
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_NE(r.err.find("quorvelin-cli: Przerwane"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(target), "an earlier result");
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"night.tif"});
}

TEST_F(CliProcess, CtrlCWhileLoadingOrSavingAlsoExitsWith130)
{
    const std::string target = out("kept.jpg");
    ASSERT_TRUE(test::writeTextFile(target, "an earlier result"));
    // Decoding this RAW file takes far longer than the first progress line.
    const test::ProcessResult loading =
        cli({test::testDataPath("raw_canon_eos_d30.crw"), "-o", target}, "Wczytywanie obrazu (");
    ASSERT_TRUE(loading.interruptSent) << loading.err;
    EXPECT_EQ(loading.exitCode, 130) << loading.err;
    EXPECT_EQ(loading.err.find("Obliczenia wstępne"), std::string::npos) << loading.err;

    // Scaling and encoding a JPEG cannot be stopped; its result is dropped.
    const test::ProcessResult saving = cli({test::testDataPath("photo_people_bar_portrait.jpg"), "-o", target,
                                            "--resize", "2000x2000"},
                                           "Zapisywanie obrazu (");
    ASSERT_TRUE(saving.interruptSent) << saving.err;
    EXPECT_EQ(saving.exitCode, 130) << saving.err;
    EXPECT_NE(saving.err.find("quorvelin-cli: Przerwane"), std::string::npos) << saving.err;
    EXPECT_EQ(saving.err.find("Zapisano"), std::string::npos) << saving.err;

    EXPECT_EQ(readAll(target), "an earlier result");
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"kept.jpg"});
}

TEST_F(CliProcess, AnOutputNeverReplacesAnInput)
{
    const std::string photo = out("photo.tif");
    ASSERT_TRUE(test::copyFile(test::testDataPath("tiff16_d30_linear_gray.tif"), photo));
    const std::string original = readAll(photo);
    EXPECT_TRUE(failedWith(cli({photo, "-o", outDir.path().string() + "/./photo.tif"}), 2,
                           {"„" + photo + "”", "wejściowy"}));
    EXPECT_TRUE(failedWith(cli({"--each", photo, "-d", outDir.path().string()}), 2, {"wejściowy"}));
    EXPECT_EQ(readAll(photo), original);
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"photo.tif"});
}

TEST_F(CliProcess, AFailedSaveExitsWithOne)
{
    const test::ProcessResult r = cli({test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-o",
                                       out("no/such/folder/x.jpg"), "--quiet"});
    EXPECT_TRUE(failedWith(r, 1, {"Błąd zapisu", "x.jpg", "nie ma takiego pliku"}));

    // A folder of the output's name stays as it was.
    fs::create_directory(out("taken.jpg"));
    EXPECT_TRUE(failedWith(cli({test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-o", out("taken.jpg")}), 1,
                           {"Błąd zapisu „" + out("taken.jpg") + "”: to jest folder, a nie plik"}));
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"taken.jpg"});
    EXPECT_TRUE(fs::is_empty(out("taken.jpg")));

    // A batch folder that cannot be made says why in the program's words.
    ASSERT_TRUE(test::writeTextFile(out("plain"), "x"));
    EXPECT_TRUE(failedWith(cli({"--each", test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-d", out("plain/sub")}),
                           1, {"Nie można utworzyć folderu „" + out("plain/sub") + "”: nie ma takiego pliku"}));
}

// What a run writes follows links and never replaces anything but a plain
// file: a pipe, a device or a folder is refused before the image is loaded.
TEST_F(CliProcess, OutputsFollowLinksAndRefuseWhatIsNoFile)
{
    const std::string photo = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    ASSERT_TRUE(test::writeTextFile(out("real.jpg"), "an earlier result"));
    fs::create_symlink("real.jpg", out("link.jpg"));
    const test::ProcessResult linked = cli({photo, "-o", out("link.jpg"), "--quiet"});
    EXPECT_EQ(linked.exitCode, 0) << linked.err;
    EXPECT_TRUE(fs::is_symlink(out("link.jpg")));
    EXPECT_EQ(QImageReader(QString::fromStdString(out("real.jpg"))).size(), QSize(640, 480));

    ASSERT_EQ(::mkfifo(out("pipe.jpg").c_str(), 0600), 0);
    fs::create_directory(out("folder.jpg"));
    const std::pair<std::string, std::string> refused[] = {{out("pipe.jpg"), "to nie jest zwykły plik"},
                                                           {"/dev/null", "to nie jest zwykły plik"},
                                                           {out("folder.jpg"), "to jest folder"}};
    for (const auto& [target, reason] : refused) {
        const test::ProcessResult r = cli({photo, "-o", target, "-t", "jpeg"});
        EXPECT_TRUE(failedWith(r, 1, {"Błąd zapisu „" + target + "”: " + reason}));
        EXPECT_EQ(r.err.find("Wczytywanie"), std::string::npos) << r.err;
    }
    // The settings file, though written last, is refused as early.
    const test::ProcessResult settings = cli({photo, "-o", out("x.jpg"), "--save-settings", out("pipe.jpg")});
    EXPECT_TRUE(failedWith(settings, 1, {"Błąd zapisu „" + out("pipe.jpg") + "”: to nie jest zwykły plik"}));
    EXPECT_EQ(settings.err.find("Wczytywanie"), std::string::npos) << settings.err;
    EXPECT_TRUE(fs::is_fifo(out("pipe.jpg")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(entriesOf(outDir.path()),
              (std::vector<std::string>{"folder.jpg", "link.jpg", "pipe.jpg", "real.jpg"}));
}

// No output of a run may be one of its inputs (photo, settings file,
// companion) or another of its outputs; settings are written only by a run
// that ends well.
TEST_F(CliProcess, OutputsThatAreInputsOrEachOtherAreWrongUsage)
{
    const std::string photo = out("photo.bmp");
    ASSERT_TRUE(test::copyFile(test::testDataPath("bmp24_moraine_lake_640x480.bmp"), photo));
    ASSERT_TRUE(saveToneFile(ToneSettings{}, out("photo.qvl")).ok());
    ASSERT_TRUE(saveToneFile(ToneSettings{}, out("mine.qvl")).ok());
    const std::string photoBytes = readAll(photo), settingsBytes = readAll(out("mine.qvl"));
    const std::vector<std::vector<std::string>> clashes = {
        {"--save-settings", photo, photo, "-o", out("x.jpg")},
        {"-s", out("mine.qvl"), photo, "-o", out("mine.qvl"), "-t", "jpeg"},
        {photo, "-o", out("photo.qvl"), "-t", "jpeg"},
        {"--save-settings", out("x.jpg"), photo, "-o", out("x.jpg")},
        {"--each", photo, "-d", outDir.path().string(), "--save-settings", out("photo.tif")},
    };
    for (const std::vector<std::string>& args : clashes) {
        const test::ProcessResult r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args[1] << ": " << r.err;
        EXPECT_NE(r.err.find("plik"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readAll(photo), photoBytes);
    EXPECT_EQ(readAll(out("mine.qvl")), settingsBytes);

    const test::ProcessResult failed =
        cli({"--save-settings", out("new.qvl"), test::testDataPath("bad_empty.jpg"), "-o", out("x.jpg")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(entriesOf(outDir.path()), (std::vector<std::string>{"mine.qvl", "photo.bmp", "photo.qvl"}));
}

// SIGTERM and SIGHUP end a run as Ctrl+C does, a second signal still removes
// the save's temporary file, and a reader that goes away is no reason to die.
TEST_F(CliProcess, SignalsEndTheRunCleanlyAndAClosedPipeIsNoReasonToDie)
{
    const std::string photo = test::testDataPath("photo_night_street_shop.jpg");
    const std::string target = out("night.tif");
    ASSERT_TRUE(test::writeTextFile(target, "an earlier result"));
    for (const auto& [signal, code] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        test::ProcessRun run = runFor({photo, "-o", target, "--threads", "1"});
        run.interruptOn = "Przetwarzanie: ";
        run.interruptSignal = signal;
        const test::ProcessResult r = test::runProcess(QV_CLI_PATH, run);
        ASSERT_TRUE(r.interruptSent) << r.err;
        EXPECT_EQ(r.exitCode, code) << r.err;
        EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"night.tif"});
    }

    // Two Ctrl+C in a row once the 16-bit TIFF is being written.
    test::ProcessRun twice = runFor({photo, "-o", target});
    twice.interruptWhen = [this] { return entriesOf(outDir.path()).size() > 1; };
    twice.interruptRepeats = 2;
    const test::ProcessResult r = test::runProcess(QV_CLI_PATH, twice);
    ASSERT_TRUE(r.interruptSent) << r.err;
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"night.tif"});
    EXPECT_EQ(readAll(target), "an earlier result");

    test::ProcessRun closed = runFor({test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-o", target});
    closed.closeStderrEarly = true;
    EXPECT_EQ(test::runProcess(QV_CLI_PATH, closed).exitCode, 0);
    EXPECT_EQ(tiffShape(target).width, 640u);
}

// A target that cannot be written fails before the image is loaded, also
// when only the final rename would have found out.
TEST_F(CliProcess, TargetsThatOnlyTheRenameWouldRefuseFailBeforeLoading)
{
    const std::string photo = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    const std::string longName = out(std::string(252, 'n') + ".jpg");
    const test::ProcessResult tooLong = cli({photo, "-o", longName});
    EXPECT_TRUE(failedWith(tooLong, 1, {"za długa nazwa pliku"}));
    EXPECT_EQ(tooLong.err.find("Wczytywanie"), std::string::npos) << tooLong.err;

    const std::string locked = out("locked.jpg");
    ASSERT_TRUE(test::writeTextFile(locked, "kept"));
    const int fd = ::open(locked.c_str(), O_RDONLY);
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &(flags |= FS_IMMUTABLE_FL)) == 0) {
        const test::ProcessResult immutable = cli({photo, "-o", locked});
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        EXPECT_TRUE(failedWith(immutable, 1, {"Błąd zapisu „" + locked + "”: brak dostępu"}));
        EXPECT_EQ(immutable.err.find("Wczytywanie"), std::string::npos) << immutable.err;
    }
    ::close(fd);
    EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"locked.jpg"});
}

TEST_F(CliProcess, SlipsAreToldOnOneLine)
{
    const std::string photo = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    EXPECT_TRUE(failedWith(cli({photo, "-o", out("a.jpg"), "-o", out("b.jpg")}), 2, {"-o/--output", "więcej niż raz"}));

    const test::ProcessResult typed = cli({"-t", "tiff16", photo, "-o", out("x.jpg")});
    EXPECT_EQ(typed.exitCode, 0) << typed.err;
    EXPECT_NE(typed.err.find("Uwaga: plik „" + out("x.jpg") + "” będzie zapisany jako TIFF"), std::string::npos)
        << typed.err;
    EXPECT_EQ(tiffShape(out("x.jpg")).width, 640u);

    // A companion that cannot be read is still ignored, but not in silence.
    const std::string image = out("pic.bmp");
    ASSERT_TRUE(test::copyFile(photo, image));
    ASSERT_TRUE(test::writeTextFile(out("pic.qvl"), "xx"));
    const test::ProcessResult ignored = cli({image, "-o", out("pic.jpg")});
    EXPECT_EQ(ignored.exitCode, 0) << ignored.err;
    EXPECT_NE(ignored.err.find("Pominięto plik ustawień „" + out("pic.qvl") + "”: plik ustawień jest niekompletny\n"),
              std::string::npos)
        << ignored.err;
    EXPECT_EQ(cli({image, "-o", out("pic.jpg"), "--quiet"}).err, "");
}

}  // namespace
}  // namespace qv
