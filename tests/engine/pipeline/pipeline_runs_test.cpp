#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "settings/tone_settings.h"
#include "support/stage_image.h"

namespace qv {
namespace {

// What a run leaves for the view and for saving.
struct RunResult {
    std::vector<uint8_t> bitmap;
    std::vector<uint16_t> rgb48;
    Histograms histograms;
};

RunResult resultOf(PipelineState& state)
{
    RunResult r;
    for (int y = 0; y < state.height; ++y)
        r.bitmap.insert(r.bitmap.end(), state.output->row(y), state.output->row(y) + 3 * state.width);
    r.rgb48.assign(state.resultBuffer(), state.resultBuffer() + 3 * state.pixelCount());
    r.histograms = state.histograms;
    return r;
}

template <class T>
std::size_t differences(const std::vector<T>& a, const std::vector<T>& b)
{
    if (a.size() != b.size())
        return std::max(a.size(), b.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

void expectSame(const RunResult& a, const RunResult& b, const std::string& what)
{
    EXPECT_EQ(differences(a.bitmap, b.bitmap), 0u) << what;
    EXPECT_EQ(differences(a.rgb48, b.rgb48), 0u) << what;
    EXPECT_EQ(a.histograms.red, b.histograms.red) << what;
    EXPECT_EQ(a.histograms.combined, b.histograms.combined) << what;
}

// Every stage of the program switched on.
ToneSettings everyStageOn()
{
    ToneSettings s;
    s.Smoothing = 2;
    s.ColorNR = 3;
    s.DetectSH = 2;
    s.Mode = 2;
    s.Contrast = 30;
    s.Softness = 40;
    s.Lightness = 60;
    s.Sharpness = 80;
    s.SharpnessRadius = 12;
    s.Gamma = 4;
    s.Saturation = 14;
    return s;
}

// A fresh image processed once with `settings`.
RunResult freshRun(const ToneSettings& settings, int w, int h, int workers)
{
    ProcessingContext ctx;
    ctx.workerCount = workers;
    PipelineState state;
    EXPECT_TRUE(test::prepareImage(state, w, h));
    copyToneValues(settings, ctx.current);
    ctx.dirtyMask = DirtyBits::NewImage;
    EXPECT_TRUE(runPipeline(ctx, state, pipelineStages()));
    return resultOf(state);
}

// One image changed step by step, as the window does it: after every change
// only the stages the change makes stale run again, on the caches of the
// earlier runs; the result must be the one of a fresh image processed with
// the same settings at once.
TEST(PipelineRuns, IncrementalRunsGiveTheResultOfAFreshRun)
{
    const int w = 67, h = 45;
    using Change = std::function<void(ToneSettings&)>;
    const std::pair<const char*, Change> changes[] = {
        {"contrast", [](ToneSettings& s) { s.Contrast = 70; }},
        {"colour noise", [](ToneSettings& s) { s.ColorNR = 7; }},
        {"smoothing", [](ToneSettings& s) { s.Smoothing = 5; }},
        {"lightness", [](ToneSettings& s) { s.Lightness = 25; }},
        {"mode", [](ToneSettings& s) { s.Mode = 0; }},
        {"sharpness", [](ToneSettings& s) { s.SharpnessRadius = 30; }},
        {"softness", [](ToneSettings& s) { s.Softness = 90; }},
        {"region", [](ToneSettings& s) { s.DetectSH = 5; }},
        {"opacity", [](ToneSettings& s) { s.Opacity2 = 80; }},
        {"curve off", [](ToneSettings& s) { s.Contrast = 100; }},
        {"details", [](ToneSettings& s) { s.Details = 8; }},
        {"curve on", [](ToneSettings& s) { s.Contrast = 10; }},
        {"smoothing off", [](ToneSettings& s) { s.Smoothing = 0; }},
        {"colour noise off", [](ToneSettings& s) { s.ColorNR = 0; }},
        {"smoothing on", [](ToneSettings& s) { s.Smoothing = 1; }},
        {"light off", [](ToneSettings& s) { s.Lightness = 0; }},
        {"softening off", [](ToneSettings& s) { s.Softness = 0; }},
        {"light on", [](ToneSettings& s) { s.Lightness = 90; }},
        {"softening on", [](ToneSettings& s) { s.Softness = 20; }},
        {"region off", [](ToneSettings& s) { s.DetectSH = 0; }},
        {"mode and gamma", [](ToneSettings& s) { s.Mode = 1; s.Gamma = 9; }},
        {"region on", [](ToneSettings& s) { s.DetectSH = 1; }},
        {"black and white", [](ToneSettings& s) { s.Mode = 8; }},
    };
    for (int workers : {1, 3}) {
        ProcessingContext ctx;
        ctx.workerCount = workers;
        PipelineState state;
        ASSERT_TRUE(test::prepareImage(state, w, h));
        ToneSettings settings = everyStageOn();
        copyToneValues(settings, ctx.current);
        ctx.dirtyMask = DirtyBits::NewImage;
        ASSERT_TRUE(runPipeline(ctx, state, pipelineStages()));
        expectSame(resultOf(state), freshRun(settings, w, h, 20), "first run");

        for (const auto& [what, change] : changes) {
            ToneSettings next = settings;
            change(next);
            ctx.dirtyMask |= compareToneSettings(next, ctx.current) | DirtyBits::Output;
            copyToneValues(next, ctx.current);
            settings = next;
            ASSERT_TRUE(runPipeline(ctx, state, pipelineStages())) << what;
            expectSame(resultOf(state), freshRun(settings, w, h, 20), what);
        }
    }
}

// Single pixels, single rows and columns, lines shorter than every kernel:
// every stage runs, and the result does not depend on the workers.
TEST(PipelineRuns, TinyAndThinImagesRunThroughEveryStage)
{
    const int sizes[][2] = {{1, 1}, {2, 1}, {1, 3}, {2, 2}, {300, 1}, {1, 300}, {17, 2}, {3, 40}};
    ToneSettings settings = everyStageOn();
    settings.DetectSH = 5;
    settings.SharpnessRadius = 40;
    for (auto [w, h] : sizes)
        expectSame(freshRun(settings, w, h, 1), freshRun(settings, w, h, 20),
                   std::to_string(w) + "x" + std::to_string(h));
}

}  // namespace
}  // namespace qv
