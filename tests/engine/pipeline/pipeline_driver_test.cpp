#include "engine/pipeline/pipeline_driver.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/processing_thread.h"
#include "support/stage_image.h"
#include "text/status_codes.h"

namespace qv {
namespace {

// Stage doubles that record each call (with the first-run argument of the
// stages that keep a preparation) and the planes they were handed.
class RecordingStages {
public:
    RecordingStages()
    {
        auto luma = [this](const char* name) {
            return [this, name](ProcessingContext&, PipelineState&, const uint16_t* in, uint16_t*) {
                return record(name, in);
            };
        };
        auto cached = [this](const char* name) {
            return [this, name](ProcessingContext&, PipelineState&, const uint16_t* in, uint16_t*, bool first) {
                return record(std::string(name) + (first ? "*" : ""), in);
            };
        };
        stages.detail = luma("detail");
        stages.smoothing = luma("smooth");
        stages.toneCurve = cached("curve");
        stages.region = luma("region");
        stages.merge = [this](ProcessingContext&, PipelineState&, const MergeInputs& in) {
            mergeLuma = in.luma;
            mergeRegion = in.regionSource;
            return record("merge", in.luma);
        };
        stages.colorNR = [this](ProcessingContext&, PipelineState&, const uint16_t* in, const int16_t*, int16_t*) {
            return record("colorNR", in);
        };
        stages.soften = cached("soften");
        stages.light = cached("light");
        stages.sharpen = luma("sharpen");
        stages.finalOutput = [this](ProcessingContext&, PipelineState&, const uint16_t* in, const int16_t* chroma,
                                    Bitmap&) {
            outputChroma = chroma;
            return record("output", in);
        };
        stages.outputLockAttempts = 2;
        stages.outputLockDelay = std::chrono::milliseconds(1);
    }

    std::string calls()
    {
        std::string all;
        for (const std::string& c : log)
            all += (all.empty() ? "" : " ") + c;
        log.clear();
        return all;
    }

    PipelineStages stages;
    std::string failing;  // the stage (as recorded) that fails once
    const uint16_t* mergeLuma = nullptr;
    const uint16_t* mergeRegion = nullptr;
    const int16_t* outputChroma = nullptr;
    const uint16_t* lastInput = nullptr;
    std::map<std::string, const uint16_t*> inputOf;  // the luma each stage (as recorded) was last handed

private:
    bool record(const std::string& name, const uint16_t* in)
    {
        log.push_back(name);
        lastInput = in;
        inputOf[name] = in;
        if (name == failing) {
            failing.clear();
            return false;
        }
        return true;
    }
    std::vector<std::string> log;
};

class PipelineDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::prepareImage(state, 5, 3));
        ctx.pipeline = &state;
        ctx.dirtyMask = DirtyBits::NewImage;
    }

    std::string run(uint32_t bits = 0)
    {
        ctx.dirtyMask |= bits | DirtyBits::Output;
        result = runPipeline(ctx, state, rec.stages);
        return rec.calls();
    }

    // Switches on every optional stage, as a whole-record change would.
    void enableAll()
    {
        ctx.current.Smoothing = 3;
        ctx.current.ColorNR = 2;
        ctx.current.Softness = 20;
        ctx.current.Sharpness = 50;
    }

    ProcessingContext ctx;
    PipelineState state;
    RecordingStages rec;
    bool result = false;
};

TEST_F(PipelineDriverTest, FirstRunExecutesEveryEnabledStage)
{
    EXPECT_EQ(run(), "detail curve* region merge light* output");
    EXPECT_TRUE(result);
    EXPECT_EQ(ctx.dirtyMask.load(), 0u);
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::RunEnded);

    enableAll();
    state.flags = {};
    EXPECT_EQ(run(), "detail smooth curve* region merge colorNR soften* light* sharpen output");
}

TEST_F(PipelineDriverTest, IncrementalRerunsFollowTheChangedValue)
{
    enableAll();
    run();
    // Saturation or gamma: the final output alone.
    EXPECT_EQ(run(), "output");
    // Colour mode alone: merging, colour noise and the output; the luma
    // stages after merging keep their results.
    EXPECT_EQ(run(DirtyBits::MergeMode), "merge colorNR output");
    // Opacities: merging and everything after it, with fresh preparations.
    EXPECT_EQ(run(DirtyBits::MergeOpacity), "merge colorNR soften* light* sharpen output");
    // Details: every enabled stage but region detection.
    EXPECT_EQ(run(DirtyBits::Details), "detail smooth curve* merge colorNR soften* light* sharpen output");
    // Contrast: the curve reuses its blur.
    EXPECT_EQ(run(DirtyBits::Curve), "curve merge colorNR soften* light* sharpen output");
    EXPECT_EQ(run(DirtyBits::Region), "region merge colorNR soften* light* sharpen output");
    EXPECT_EQ(run(DirtyBits::ColorNR), "colorNR output");
    EXPECT_EQ(run(DirtyBits::Softness), "soften light* sharpen output");
    EXPECT_EQ(run(DirtyBits::Light), "light sharpen output");
    EXPECT_EQ(run(DirtyBits::Sharpen), "sharpen output");
}

TEST_F(PipelineDriverTest, SwitchedOffStagesCountAsValidAndHandOnTheirInput)
{
    run();
    // Contrast 100 skips the curve: merging gets the detail plane, or the
    // smoothed plane when smoothing is on.
    ctx.current.Contrast = 100;
    EXPECT_EQ(run(DirtyBits::Curve), "merge light* output");
    EXPECT_EQ(rec.mergeLuma, state.detail.as<uint16_t>());
    ctx.current.Smoothing = 4;
    EXPECT_EQ(run(DirtyBits::Smoothing), "smooth merge light* output");
    EXPECT_EQ(rec.mergeLuma, state.smoothed.as<uint16_t>());
    // Switching smoothing off again re-prepares the curve once it is back on.
    ctx.current.Smoothing = 0;
    ctx.current.Contrast = 50;
    EXPECT_EQ(run(DirtyBits::Smoothing | DirtyBits::Curve), "curve* merge light* output");
    EXPECT_EQ(rec.mergeLuma, state.curvePlane());

    // DetectSH 0: merging reads the luminance itself as area brightness.
    EXPECT_EQ(rec.mergeRegion, state.region.as<uint16_t>());
    ctx.current.DetectSH = 0;
    EXPECT_EQ(run(DirtyBits::Region), "merge light* output");
    EXPECT_EQ(rec.mergeRegion, state.luminancePlane());

    // Mode 8 skips colour noise reduction; the output still reads the
    // denoised plane (and gives chroma no weight).
    ctx.current.ColorNR = 3;
    ctx.current.Mode = 8;
    EXPECT_EQ(run(DirtyBits::ColorNR | DirtyBits::MergeMode), "merge output");
    EXPECT_EQ(rec.outputChroma, state.denoisedChroma.as<int16_t>());
    // Lightness 0: the output reads the merged luma.
    ctx.current.Lightness = 0;
    EXPECT_EQ(run(DirtyBits::Light), "output");
    EXPECT_EQ(rec.lastInput, state.mergedLuma());
}

TEST_F(PipelineDriverTest, SwitchingAStageOffRerunsTheStagesThatReadItsResult)
{
    enableAll();
    run();
    // Without softening, light reads the merged luma: a new input for it.
    ctx.current.Softness = 0;
    EXPECT_EQ(run(DirtyBits::Softness), "light* sharpen output");
    EXPECT_EQ(rec.inputOf["light*"], state.mergedLuma());
    EXPECT_EQ(rec.inputOf["sharpen"], state.light.as<uint16_t>());
    ctx.current.Lightness = 0;
    EXPECT_EQ(run(DirtyBits::Light), "sharpen output");
    EXPECT_EQ(rec.inputOf["sharpen"], state.mergedLuma());
    ctx.current.Sharpness = 0;
    EXPECT_EQ(run(DirtyBits::Sharpen), "output");
    EXPECT_EQ(rec.lastInput, state.mergedLuma());
    ctx.current.Sharpness = 50;
    EXPECT_EQ(run(DirtyBits::Sharpen), "sharpen output");
    // Without smoothing the curve reads the detail plane and prepares anew.
    ctx.current.Smoothing = 0;
    EXPECT_EQ(run(DirtyBits::Smoothing), "curve* merge colorNR sharpen output");
    EXPECT_EQ(rec.inputOf["curve*"], state.detail.as<uint16_t>());
}

TEST_F(PipelineDriverTest, FailedRunResumesAtTheInterruptedStage)
{
    enableAll();
    run();
    rec.failing = "soften*";
    EXPECT_EQ(run(DirtyBits::MergeOpacity), "merge colorNR soften*");
    EXPECT_FALSE(result);
    EXPECT_EQ(ctx.dirtyMask.load(), DirtyBits::Output);
    EXPECT_EQ(run(), "soften* light* sharpen output");
    EXPECT_TRUE(result);

    // A failing first stage keeps its bit and everything after it.
    rec.failing = "detail";
    EXPECT_EQ(run(DirtyBits::Details | DirtyBits::Sharpen), "detail");
    EXPECT_EQ(ctx.dirtyMask.load(), DirtyBits::Details | DirtyBits::Sharpen | DirtyBits::Output);
    EXPECT_EQ(run(), "detail smooth curve* merge colorNR soften* light* sharpen output");
}

TEST_F(PipelineDriverTest, OutputHeldByTheViewFailsTheRunButClearsItsBit)
{
    run();
    ASSERT_TRUE(state.output->tryLock());
    EXPECT_EQ(run(DirtyBits::Sharpen), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(ctx.dirtyMask.load(), 0u);
    state.output->unlock();
    EXPECT_EQ(run(), "output");
    EXPECT_TRUE(result);
}

TEST_F(PipelineDriverTest, AbortedRunStopsWaitingForTheOutput)
{
    run();
    // The view holds the output, and the run is aborted meanwhile: the run
    // must not sit out the retries (which here would take hours).
    rec.stages.outputLockAttempts = 100;
    rec.stages.outputLockDelay = std::chrono::hours(1);
    ASSERT_TRUE(state.output->tryLock());
    state.abort = true;
    EXPECT_EQ(run(DirtyBits::Sharpen), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(ctx.dirtyMask.load(), 0u);
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::RunEnded);
    state.output->unlock();
}

TEST_F(PipelineDriverTest, RunsNothingWithoutAnOutputBitmap)
{
    state.output.reset();
    ctx.statusCode = StatusCode::None;
    EXPECT_EQ(run(), "");
    EXPECT_FALSE(result);
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::None);
}

TEST_F(PipelineDriverTest, StageMissingFromTheTableFailsTheRun)
{
    rec.stages.region = nullptr;
    EXPECT_EQ(run(), "detail curve*");
    EXPECT_FALSE(result);
}

TEST_F(PipelineDriverTest, ProcessingThreadStartsStopsAndReportsItsExitCode)
{
    ProcessingThread thread;
    thread.setStages(&rec.stages);
    // A detail stage that runs until it is aborted.
    rec.stages.detail = [](ProcessingContext&, PipelineState& st, const uint16_t*, uint16_t*) {
        while (!st.abort.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    };
    ASSERT_TRUE(thread.start(ctx, 0));
    EXPECT_TRUE(thread.stop());
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(thread.collect(), std::nullopt);  // a stopped thread is forgotten
    EXPECT_EQ(ctx.dirtyMask.load() & DirtyBits::Details, DirtyBits::Details);

    // Auto Start off: the bits are kept, nothing runs until a forced start.
    ctx.autoStart = false;
    EXPECT_FALSE(thread.start(ctx, DirtyBits::Light));
    EXPECT_EQ(ctx.dirtyMask.load() & DirtyBits::Light, DirtyBits::Light);
    rec.stages.detail = [](ProcessingContext&, PipelineState&, const uint16_t*, uint16_t*) { return true; };
    ASSERT_TRUE(thread.start(ctx, 0, true));
    // The window reads the mask (is the result stale?) while the run clears
    // its bits; a run never sets one.
    const uint32_t before = ctx.dirtyMask.load();
    while (thread.running())
        ASSERT_EQ(ctx.dirtyMask.load() & ~before, 0u);
    EXPECT_EQ(thread.collect(), ThreadResult::Done);
    EXPECT_EQ(thread.collect(), std::nullopt);
    EXPECT_EQ(ctx.dirtyMask.load(), 0u);
}

TEST_F(PipelineDriverTest, EndedThreadIsStoppedWhateverTheContextPointsAtNow)
{
    ProcessingThread thread;
    thread.setStages(&rec.stages);
    ASSERT_TRUE(thread.start(ctx, 0));
    while (thread.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // The image is closed before the ended run was collected.
    ctx.pipeline = nullptr;
    EXPECT_FALSE(thread.start(ctx, DirtyBits::Light));
    EXPECT_EQ(thread.collect(), std::nullopt);
    EXPECT_TRUE(state.abort.load());
}

}  // namespace
}  // namespace qv
