// Runs the built tool as a user would, on the shared test photos, with a
// temporary home folder so that the user's own configuration is never read
// or written.

#include <gtest/gtest.h>

#include <QImageReader>
#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/settings_store.h"
#include "engine/pipeline_driver.h"
#include "engine/processing_context.h"
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
    ProcessingContext ctx;
    PipelineState state;
    ctx.pipeline = &state;
    ctx.fileList = r.files;
    ctx.config = r.config;
    if (runLoadThread(ctx) != 1)
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
        test::ProcessRun run;
        run.args = std::move(args);
        run.stderrIsTerminal = terminal;
        run.env = {{"HOME", home.path().string()},
                   {"XDG_CONFIG_HOME", (home.path() / ".config").string()},
                   {"QT_QPA_PLATFORM", "offscreen"}};
        run.interruptOn = std::move(interruptOn);
        return test::runProcess(QV_CLI_PATH, run);
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
    EXPECT_EQ(version.out.rfind("Quorvelin ", 0), 0u) << version.out;

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

TEST_F(CliProcess, BrokenFilesFailWithTheProgramsTextAndKeepAnExistingOutput)
{
    const std::string target = out("keep.jpg");
    ASSERT_TRUE(test::writeTextFile(target, "an earlier result"));
    const std::vector<std::pair<std::string, std::string>> cases{
        {"bad_text_renamed.png", "Nieznany format obrazu"},
        {"bad_empty.jpg", ""},
        {"bad_truncated_16bit.tif", ""},
        {"bad_huge_100000x100000.tif", ""},
        {"edge_tiny_15x200.png", ""},
        {"no_such_file.jpg", "No such file"},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(failedWith(cli({test::testDataPath(name), "-o", target, "--quiet"}), 1,
                               {"Błąd wczytywania", name, reason}));
        EXPECT_EQ(readAll(target), "an earlier result");
        EXPECT_EQ(entriesOf(outDir.path()), std::vector<std::string>{"keep.jpg"});
    }
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
    EXPECT_NE(terminal.err.find("\r\033[Kquorvelin-cli: Błąd wczytywania"), std::string::npos) << terminal.err;

    const test::ProcessResult pipe = cli({broken, "-o", out("x.jpg")});
    EXPECT_EQ(pipe.err.rfind("Wczytywanie obrazu (", 0), 0u) << pipe.err;
    EXPECT_NE(pipe.err.find("%)\nquorvelin-cli: Błąd wczytywania"), std::string::npos) << pipe.err;
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

TEST_F(CliProcess, EachGoesOnPastABrokenFileAndSumsUp)
{
    const std::string folder = out("results/today");  // made by the tool
    const std::string broken = test::testDataPath("bad_text_renamed.png");
    const test::ProcessResult r =
        cli({"--each", test::testDataPath("bmp24_moraine_lake_640x480.bmp"), broken,
             test::testDataPath("tiff16_d30_linear_gray.tif"), "-d", folder, "-t", "jpeg", "--preview", "800"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::vector<std::string> written{"bmp24_moraine_lake_640x480.jpg", "tiff16_d30_linear_gray.jpg"};
    EXPECT_EQ(entriesOf(folder), written);
    EXPECT_NE(r.err.find("Błąd wczytywania „" + broken + "”: Nieznany format obrazu"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Gotowe: 2 z 3 plików; nieudane (1): „" + broken + "”"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[3/3] tiff16_d30_linear_gray.tif"), std::string::npos) << r.err;
    EXPECT_EQ(QImageReader(QString::fromStdString(folder + "/tiff16_d30_linear_gray.jpg")).size(), QSize(800, 532));
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

TEST_F(CliProcess, AFailedSaveExitsWithOne)
{
    const test::ProcessResult r = cli({test::testDataPath("bmp24_moraine_lake_640x480.bmp"), "-o",
                                       out("no/such/folder/x.jpg"), "--quiet"});
    EXPECT_TRUE(failedWith(r, 1, {"Błąd zapisu", "x.jpg", "No such file"}));
}

}  // namespace
}  // namespace qv
