#include "imageio/load_thread.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "imageio/source_pair.h"
#include "support/test_data.h"
#include "text/failure_text.h"
#include "text/status_codes.h"

namespace qv {
namespace {

using test::testDataPath;

struct Window {
    ImageIoContext ctx;
    PipelineState state;

    explicit Window(std::vector<std::string> files, int previewMode = 0)
    {
        ctx.pipeline = &state;
        ctx.fileList = std::move(files);
        ctx.config.previewMode = previewMode;
    }
};

// Polls the thread as the window's timer does, for at most a minute.
std::optional<ThreadResult> waitFor(LoadThread& thread)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    std::optional<ThreadResult> exit;
    while (!(exit = thread.collect()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return exit;
}

TEST(LoadThread, OneFileBecomesAPreparedWorkingImage)
{
    Window w({testDataPath("tiff16_d30_linear_rgb_planar.tif")});
    ASSERT_EQ(runLoadThread(w.ctx), ThreadResult::Done) << w.ctx.errorText;
    EXPECT_TRUE(w.state.loaded);
    EXPECT_EQ(w.ctx.errorText, "");
    EXPECT_EQ(w.ctx.statusText.get(), "");
    EXPECT_EQ(w.ctx.valueScale, 65536);
    EXPECT_EQ(w.ctx.bitDepth, 48);
    EXPECT_EQ(w.ctx.decodedWidth, 1000);
    EXPECT_EQ(w.ctx.decodedHeight, 665);
    ASSERT_TRUE(w.state.source && w.state.working && w.state.output);
    EXPECT_EQ(w.state.width, 1000);
    EXPECT_EQ(w.state.height, 665);
}

TEST(LoadThread, ThePreviewModeShrinksTheDecodedImage)
{
    Window w({testDataPath("photo_indoor_lowlight_canon_a70.jpg")}, 1);
    ASSERT_EQ(runLoadThread(w.ctx), ThreadResult::Done) << w.ctx.errorText;
    EXPECT_EQ(w.ctx.bitDepth, 24);
    EXPECT_EQ(w.ctx.decodedWidth, 2048);
    EXPECT_EQ(w.ctx.workingWidth.load(), 800);
    EXPECT_EQ(w.ctx.workingHeight.load(), 600);
    EXPECT_EQ(w.state.source->width(), 800);
}

TEST(LoadThread, AFailedLoadReleasesTheImageBeforeAndLeavesItsText)
{
    Window w({testDataPath("bmp24_moraine_lake_640x480.bmp")});
    ASSERT_EQ(runLoadThread(w.ctx), ThreadResult::Done);
    w.ctx.fileList = {testDataPath("bad_text_renamed.png")};
    EXPECT_EQ(runLoadThread(w.ctx), ThreadResult::Failed);
    EXPECT_EQ(w.ctx.errorText, failureLine(kUnknownFormatText, testDataPath("bad_text_renamed.png"), {}));
    EXPECT_FALSE(w.state.loaded);
    EXPECT_FALSE(w.state.source || w.state.working || w.state.output);
    EXPECT_EQ(w.state.width, 0);

    w.ctx.fileList = {testDataPath("bmp24_moraine_lake_640x480.bmp")};
    w.state.abort = true;  // an aborted load has nothing to say
    EXPECT_EQ(runLoadThread(w.ctx), ThreadResult::Failed);
    EXPECT_EQ(w.ctx.errorText, "") << "the text of the previous load is cleared";
}

TEST(LoadThread, SeveralFilesAreMergedIntoOneWorkingImage)
{
    Window w({testDataPath("bracket_arch_2_0.25s.jpg"), testDataPath("bracket_arch_1_0.033s.jpg")}, 1);
    ASSERT_EQ(runLoadThread(w.ctx), ThreadResult::Done) << w.ctx.errorText;
    EXPECT_TRUE(w.state.loaded);
    EXPECT_EQ(w.ctx.statusText.get(), "");
    EXPECT_EQ(w.ctx.bitDepth, 24);
    EXPECT_EQ(w.ctx.decodedWidth, 1408);
    EXPECT_EQ(w.ctx.decodedHeight, 1056);
    ASSERT_TRUE(w.state.source && w.state.working && w.state.output);
    EXPECT_EQ(w.state.width, 800);

    Window mismatched({testDataPath("bracket_arch_1_0.033s.jpg"), testDataPath("photo_landscape_moraine_lake.jpg")});
    EXPECT_EQ(runLoadThread(mismatched.ctx), ThreadResult::Failed);
    EXPECT_TRUE(mismatched.ctx.errorText.starts_with("Obrazy nie mają tych samych rozmiarów i głębi koloru „"));
    EXPECT_FALSE(mismatched.state.loaded);
    EXPECT_FALSE(mismatched.state.source || mismatched.state.working);

    Window none({});
    EXPECT_EQ(runLoadThread(none.ctx), ThreadResult::Failed);
}

TEST(LoadThread, RunsOnItsOwnThreadAndReportsItsExitCode)
{
    Window w({testDataPath("raw_kodak_dc50.kdc")});
    LoadThread thread;
    ASSERT_TRUE(thread.start(w.ctx));
    EXPECT_EQ(waitFor(thread), ThreadResult::Done);
    EXPECT_FALSE(thread.running());
    EXPECT_TRUE(w.state.loaded);
    EXPECT_EQ(w.ctx.bitDepth, 48);
    EXPECT_EQ(w.state.source->width(), 768);

    Window missing({testDataPath("no_such_file.jpg")});
    ASSERT_TRUE(thread.start(missing.ctx));
    EXPECT_EQ(waitFor(thread), ThreadResult::Failed);
    EXPECT_EQ(missing.ctx.errorText,
              failureLine(kLoadErrorText, testDataPath("no_such_file.jpg"), failureReason(ENOENT)));
}

// A cut JPEG, whose bottom the toolkit would make up, fails on the load
// thread just as on the caller's; the next good photo loads whole.
TEST(LoadThread, ATruncatedJpegFailsWithTheLoadErrorText)
{
    LoadThread thread;
    Window cut({testDataPath("bad_truncated.jpg")});
    ASSERT_TRUE(thread.start(cut.ctx));
    EXPECT_EQ(waitFor(thread), ThreadResult::Failed);
    EXPECT_EQ(cut.ctx.errorText, failureLine(kLoadErrorText, testDataPath("bad_truncated.jpg"), kDamagedReason));
    EXPECT_FALSE(cut.state.loaded);
    EXPECT_FALSE(cut.state.source || cut.state.working || cut.state.output);

    Window whole({testDataPath("photo_landscape_moraine_lake.jpg")});
    ASSERT_TRUE(thread.start(whole.ctx));
    EXPECT_EQ(waitFor(thread), ThreadResult::Done);
    EXPECT_EQ(whole.ctx.errorText, "");
    EXPECT_EQ(whole.state.source->width(), 1920);
}

TEST(LoadThread, AnAbortDuringTheDecodeEndsTheLoadWithoutText)
{
    Window w({testDataPath("raw_canon_eos_d30.crw")});
    w.state.abort = true;  // left over from an earlier abort: start clears it
    LoadThread thread;
    ASSERT_TRUE(thread.start(w.ctx));
    EXPECT_EQ(w.ctx.statusCode.load(), StatusCode::Loading);
    while (w.ctx.percent.load() < 40 && thread.running())
        std::this_thread::yield();
    w.state.abort = true;  // as the window's abort button does
    EXPECT_EQ(waitFor(thread), ThreadResult::Failed);
    EXPECT_EQ(w.ctx.errorText, "");
    EXPECT_FALSE(w.state.loaded);
    EXPECT_FALSE(w.state.source || w.state.working);

    // The next start loads normally again.
    Window next({testDataPath("bmp24_moraine_lake_640x480.bmp")});
    ASSERT_TRUE(thread.start(next.ctx));
    EXPECT_EQ(waitFor(thread), ThreadResult::Done);
    EXPECT_FALSE(thread.stop()) << "no thread is left to stop";
}

TEST(LoadThread, StopAbortsAndWaits)
{
    Window w({testDataPath("raw_canon_eos_d30.crw")});
    LoadThread thread;
    ASSERT_TRUE(thread.start(w.ctx));
    EXPECT_TRUE(thread.stop());
    EXPECT_FALSE(thread.running());
    EXPECT_FALSE(w.state.loaded);
    EXPECT_EQ(w.ctx.errorText, "");
}

}  // namespace
}  // namespace qv
