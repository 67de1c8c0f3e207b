#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "cli/batch_plan.h"
#include "cli/help_text.h"
#include "cli/preset_lookup.h"

namespace qv::cli {
namespace {

ParseResult parse(std::vector<std::string> args) { return parseCommandLine(args); }

// The parse failed and its message is one line containing every given piece.
::testing::AssertionResult failsWith(const ParseResult& result, std::initializer_list<const char*> pieces)
{
    if (result.ok())
        return ::testing::AssertionFailure() << "the command line was accepted";
    for (const char* piece : pieces)
        if (result.error.find(piece) == std::string::npos)
            return ::testing::AssertionFailure() << "message \"" << result.error << "\" lacks \"" << piece << "\"";
    if (result.error.find('\n') != std::string::npos)
        return ::testing::AssertionFailure() << "the message is not one line: " << result.error;
    return ::testing::AssertionSuccess();
}

TEST(CommandLine, ReadsEveryOptionInShortLongAndAttachedForms)
{
    const ParseResult r = parse({"a.jpg", "-o", "out.jpg", "-t", "tiff8", "--quality=55", "--resize", "800x600",
                                 "-p", "3", "-s", "x.qvl", "--set", "Details=7", "--set=Mode=8", "--preview", "1280",
                                 "--no-raw-nr", "--raw-auto-wb", "--light-recovery", "--no-companion", "--factory",
                                 "--save-settings", "y.qvl", "--threads", "3", "--quiet", "--timings", "b.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    const CliOptions& o = r.options;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(o.output, "out.jpg");
    EXPECT_EQ(o.type, SaveFileType::Tiff8);  // -t wins over the extension
    EXPECT_EQ(o.jpegQuality, 55);
    EXPECT_EQ(o.resizeBox, (ImageSize{800, 600}));
    EXPECT_EQ(o.tone.preset, &tonePresets()[2]);
    EXPECT_EQ(o.tone.settingsFile, "x.qvl");
    ASSERT_EQ(o.tone.assignments.size(), 2u);
    EXPECT_STREQ(o.tone.assignments[0].field->name, "Details");
    EXPECT_EQ(o.tone.assignments[0].value, 7);
    EXPECT_STREQ(o.tone.assignments[1].field->name, "Mode");
    EXPECT_EQ(o.previewMode, 2);
    EXPECT_EQ(o.rawNoiseReduction, false);
    EXPECT_EQ(o.rawAutoWhiteBalance, true);
    EXPECT_EQ(o.lightRecovery, true);
    EXPECT_FALSE(o.tone.companion);
    EXPECT_TRUE(o.tone.factory);
    EXPECT_EQ(o.saveSettingsPath, "y.qvl");
    EXPECT_EQ(o.threads, 3);
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.timings);

    const ParseResult attached = parse({"-oout.tif", "-q70", "-pKrajobraz", "in.png"});
    ASSERT_TRUE(attached.ok()) << attached.error;
    EXPECT_EQ(attached.options.output, "out.tif");
    EXPECT_EQ(attached.options.jpegQuality, 70);
    EXPECT_EQ(attached.options.tone.preset, &tonePresets()[0]);
}

TEST(CommandLine, DefaultsLeaveTheStoredChoicesInPlace)
{
    const ParseResult r = parse({"a.jpg", "-o", "b.jpg"});
    ASSERT_TRUE(r.ok()) << r.error;
    const CliOptions& o = r.options;
    EXPECT_FALSE(o.jpegQuality);
    EXPECT_FALSE(o.previewMode);
    EXPECT_FALSE(o.rawNoiseReduction);
    EXPECT_FALSE(o.rawAutoWhiteBalance);
    EXPECT_FALSE(o.lightRecovery);
    EXPECT_FALSE(o.threads);
    EXPECT_FALSE(o.resizeBox);
    EXPECT_TRUE(o.tone.companion);
    EXPECT_FALSE(o.tone.factory);
    EXPECT_EQ(o.tone.preset, nullptr);
}

TEST(CommandLine, OutputTypeFollowsTheExtensionInAnyCase)
{
    EXPECT_EQ(parse({"a", "-o", "x.JPG"}).options.type, SaveFileType::Jpeg);
    EXPECT_EQ(parse({"a", "-o", "x.jpeg"}).options.type, SaveFileType::Jpeg);
    EXPECT_EQ(parse({"a", "-o", "x.tif"}).options.type, SaveFileType::Tiff16);
    EXPECT_EQ(parse({"a", "-o", "x.TIFF"}).options.type, SaveFileType::Tiff16);
    EXPECT_EQ(parse({"a", "-o", "x.png", "-t", "JPEG"}).options.type, SaveFileType::Jpeg);
    EXPECT_TRUE(failsWith(parse({"a", "-o", "x.png"}), {"x.png", "-t jpeg|tiff8|tiff16"}));
    // A dot in a folder name is no extension.
    EXPECT_TRUE(failsWith(parse({"a", "-o", "dir.jpg/out"}), {"-t"}));
}

TEST(CommandLine, ValuesOutOfRangeNameTheRange)
{
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-q", "101"}), {"0 do 100", "„101”"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-q", "-1"}), {"0 do 100"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-q", "9x"}), {"0 do 100"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--threads", "0"}), {"1 do 20"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--threads", "21"}), {"1 do 20"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--set", "Details=10"}), {"Details", "0 do 9"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--set", "SharpnessRadius=3"}), {"4 do 40"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--set", "Sharpness="}), {"0 do 200"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--resize", "0x10"}), {"SZEROKOŚĆxWYSOKOŚĆ"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--resize", "640"}), {"1920x1080"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--preview", "1024"}), {"full, 800, 1280, 2048"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-t", "png"}), {"jpeg, tiff8, tiff16"}));

    const ParseResult edges = parse({"a", "-o", "b.jpg", "-q", "0", "--threads", "20", "--set", "Sharpness=200",
                                     "--resize", "1X1", "--set", "SharpnessRadius=40"});
    ASSERT_TRUE(edges.ok()) << edges.error;
    EXPECT_EQ(edges.options.jpegQuality, 0);
    EXPECT_EQ(edges.options.resizeBox, (ImageSize{1, 1}));
}

TEST(CommandLine, UnknownNamesListWhatThereIs)
{
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--bogus"}), {"„--bogus”", "--help"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-x"}), {"„-x”"}));
    EXPECT_TRUE(
        failsWith(parse({"a", "-o", "b.jpg", "-p", "Miasto"}), {"„Miasto”", "Krajobraz", "10 Efekty specjalne 2"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "-p", "11"}), {"„11”"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--set", "Detail=3"}), {"„Detail”", "SharpnessRadius"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--set", "Details"}), {"Pole=Wartość"}));
}

TEST(CommandLine, ValuesAndFlagsAreNotMixedUp)
{
    EXPECT_TRUE(failsWith(parse({"a", "-o"}), {"-o/--output", "wymaga wartości"}));
    EXPECT_TRUE(failsWith(parse({"a", "-o", "b.jpg", "--quiet=1"}), {"--quiet", "nie przyjmuje"}));
    // "--" ends the options: a file may start with a dash.
    const ParseResult r = parse({"-o", "b.jpg", "--", "-odd.jpg", "--quiet"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.inputs, (std::vector<std::string>{"-odd.jpg", "--quiet"}));
    EXPECT_FALSE(r.options.quiet);
}

TEST(CommandLine, InputsAndOutputsMustFitTogether)
{
    EXPECT_TRUE(failsWith(parse({}), {"plików wejściowych"}));
    EXPECT_TRUE(failsWith(parse({"-o", "b.jpg"}), {"plików wejściowych"}));
    EXPECT_TRUE(failsWith(parse({"a.jpg"}), {"-o PLIK"}));
    EXPECT_TRUE(failsWith(parse({"a.jpg", "--each"}), {"-d FOLDER"}));
    EXPECT_TRUE(failsWith(parse({"a.jpg", "--each", "-d", "out", "-o", "x.jpg"}), {"-o"}));
    EXPECT_TRUE(failsWith(parse({"a.jpg", "-d", "out", "-o", "x.jpg"}), {"--each"}));

    // Settings alone may be written without any image.
    EXPECT_TRUE(parse({"-p", "2", "--save-settings", "s.qvl"}).ok());
    const ParseResult batch = parse({"--each", "a.jpg", "b.png", "-d", "out"});
    ASSERT_TRUE(batch.ok()) << batch.error;
    EXPECT_EQ(batch.options.type, SaveFileType::Tiff16);
    EXPECT_EQ(parse({"--each", "a.jpg", "-d", "out", "-t", "jpeg"}).options.type, SaveFileType::Jpeg);
}

TEST(CommandLine, HelpAndVersionWinOverAMissingOutput)
{
    EXPECT_EQ(parse({"--help"}).action, CliAction::Help);
    EXPECT_EQ(parse({"a.jpg", "-h"}).action, CliAction::Help);
    EXPECT_EQ(parse({"--version"}).action, CliAction::Version);
    EXPECT_TRUE(parse({"--version"}).ok());
}

TEST(PresetLookup, NamesInAnyCaseWithOrWithoutDiacriticsAndNumbers)
{
    EXPECT_EQ(findPreset("Krajobraz 2"), &tonePresets()[1]);
    EXPECT_EQ(findPreset("KRAJOBRAZ 2"), &tonePresets()[1]);
    EXPECT_EQ(findPreset("ludzie b&w"), &tonePresets()[7]);
    EXPECT_EQ(findPreset("Ludzie B&&W"), &tonePresets()[7]);
    EXPECT_EQ(findPreset("efekty specjalne 2"), &tonePresets()[9]);
    EXPECT_EQ(findPreset("1"), &tonePresets()[0]);
    EXPECT_EQ(findPreset("10"), &tonePresets()[9]);
    // Polish letters match their plain forms and either case of each other.
    EXPECT_EQ(findPreset("Kwórwelia"), &tonePresets()[4]);
    EXPECT_EQ(findPreset("KWÓRWELIA 2"), &tonePresets()[5]);
    EXPECT_EQ(findPreset("Architęktura"), &tonePresets()[3]);
    EXPECT_EQ(findPreset("0"), nullptr);
    EXPECT_EQ(findPreset("Krajobraz 4"), nullptr);
    EXPECT_EQ(findPreset(""), nullptr);
    EXPECT_EQ(findPreset("Krajobraz2"), nullptr);
}

TEST(BatchPlan, OutputsGoIntoTheFolderWithTheTypesExtension)
{
    const BatchPlan plan = planBatchOutputs({"/x/a.jpg", "b.raw.CRW", "noext"}, "out", SaveFileType::Jpeg);
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_EQ(plan.outputs, (std::vector<std::string>{"out/a.jpg", "out/b.raw.jpg", "out/noext.jpg"}));
    EXPECT_EQ(planBatchOutputs({"a.png"}, "o/", SaveFileType::Tiff8).outputs.front(), "o/a.tif");

    const BatchPlan clash = planBatchOutputs({"/x/a.jpg", "b.png", "/y/a.png"}, "out", SaveFileType::Tiff16);
    EXPECT_FALSE(clash.ok());
    EXPECT_NE(clash.error.find("„/x/a.jpg” i „/y/a.png”"), std::string::npos) << clash.error;
}

TEST(VersionText, ShowsThePatchAndBuildOnlyWhenSet)
{
    EXPECT_EQ(versionText("1.1.2.0"), "1.1.2");
    EXPECT_EQ(versionText("1.1.0"), "1.1");
    EXPECT_EQ(versionText("0.1"), "0.1");
    EXPECT_EQ(versionText("2.0.0.7"), "2.0 (build 7)");
    EXPECT_EQ(versionText("2.3.4.5"), "2.3.4 (build 5)");
    EXPECT_EQ(versionLine().rfind("Quorvelin ", 0), 0u);
}

}  // namespace
}  // namespace qv::cli
