// A real photo through the load thread and the shipped pipeline, with the
// default settings and every built-in preset.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "imageio/image_io_context.h"
#include "imageio/load_thread.h"
#include "support/test_data.h"
#include "text/status_codes.h"

namespace qv {
namespace {

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ctx = new ImageIoContext;
        state = new PipelineState;
        ctx->pipeline = state;
        ctx->config.previewMode = 1;  // 800 px: quick, and a real resample
        ctx->fileList = {test::testDataPath("photo_landscape_moraine_lake.jpg")};
        ASSERT_EQ(runLoadThread(*ctx), ThreadResult::Done) << ctx->errorText;
        ASSERT_EQ(state->width, 800);
        ASSERT_EQ(state->height, 600);
    }
    static void TearDownTestSuite()
    {
        delete state;
        delete ctx;
    }

    // A run with the settings given, incremental over whatever ran before.
    static void apply(const ToneSettings& settings)
    {
        ctx->dirtyMask |= compareToneSettings(settings, ctx->current) | DirtyBits::Output;
        copyToneValues(settings, ctx->current);
        ASSERT_TRUE(runPipeline(*ctx, *state, pipelineStages()));
        ASSERT_EQ(ctx->statusCode.load(), StatusCode::RunEnded);
        ASSERT_EQ(ctx->dirtyMask, 0u);
    }

    // Every stage recomputed from its input, as on a newly opened image.
    static void recomputeAll()
    {
        state->flags = {};
        ctx->dirtyMask = 0x7FF;
        ASSERT_TRUE(runPipeline(*ctx, *state, pipelineStages()));
    }

    static std::vector<uint8_t> output()
    {
        std::vector<uint8_t> bytes;
        const Bitmap& out = *state->output;
        for (int y = 0; y < out.height(); ++y)
            bytes.insert(bytes.end(), out.row(y), out.row(y) + 3 * out.width());
        return bytes;
    }
    static std::vector<uint16_t> result48()
    {
        return std::vector<uint16_t>(resultBuffer(*state).begin(), resultBuffer(*state).end());
    }

    static ImageIoContext* ctx;
    static PipelineState* state;
};

ImageIoContext* EndToEnd::ctx = nullptr;
PipelineState* EndToEnd::state = nullptr;

// What any sound result of a photo looks like: the 8-bit preview is the
// high byte of the 48-bit result, the histograms count every pixel, the
// picture uses a wide range and is not the untouched source.
void expectSoundResult(const std::vector<uint8_t>& bgr, const std::vector<uint16_t>& rgb48, const Histograms& h,
                       const std::vector<uint8_t>& source, bool grey)
{
    const std::size_t pixels = bgr.size() / 3;
    ASSERT_EQ(rgb48.size(), 3 * pixels);
    std::size_t mismatches = 0, colourful = 0, changed = 0;
    int low = 255, high = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const uint8_t b = bgr[3 * i], g = bgr[3 * i + 1], r = bgr[3 * i + 2];
        mismatches += r != rgb48[3 * i] >> 8 || g != rgb48[3 * i + 1] >> 8 || b != rgb48[3 * i + 2] >> 8;
        colourful += r != g || g != b;
        changed += std::abs(int(g) - int(source[3 * i + 1])) > 8;
        low = std::min<int>(low, g);
        high = std::max<int>(high, g);
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(h.redCount, pixels);
    EXPECT_EQ(h.combinedCount, 3 * pixels);
    if (grey)
        EXPECT_EQ(colourful, 0u);
    else
        EXPECT_GT(colourful, pixels / 2);
    EXPECT_GT(changed, pixels / 10);
    EXPECT_LT(low, 40);
    EXPECT_GT(high, 215);
}

TEST_F(EndToEnd, DefaultsAndEveryPresetGiveSoundResults)
{
    std::vector<uint8_t> source;
    for (int y = 0; y < state->height; ++y)
        source.insert(source.end(), state->source->row(y), state->source->row(y) + 3 * state->width);

    apply(ToneSettings{});
    expectSoundResult(output(), result48(), state->histograms, source, false);
    for (const TonePreset& preset : tonePresets()) {
        SCOPED_TRACE(preset.menuText);
        apply(preset.settings);
        expectSoundResult(output(), result48(), state->histograms, source, preset.settings.Mode == 8);
    }
}

// Each value changed alone re-runs only some stages; the result must be the
// one a run from scratch gives.
TEST_F(EndToEnd, IncrementalRunsEqualRunsFromScratch)
{
    ToneSettings s;
    s.Smoothing = 3;
    s.ColorNR = 4;
    s.Softness = 40;
    s.Sharpness = 80;
    apply(s);
    auto change = [&](uint16_t ToneSettings::*field, uint16_t value) {
        SCOPED_TRACE(value);
        s.*field = value;
        apply(s);
        const std::vector<uint8_t> incremental = output();
        const std::vector<uint16_t> incremental48 = result48();
        recomputeAll();
        EXPECT_EQ(output(), incremental);
        EXPECT_EQ(result48(), incremental48);
    };
    change(&ToneSettings::Saturation, 20);
    change(&ToneSettings::Gamma, 3);
    change(&ToneSettings::Mode, 1);
    change(&ToneSettings::Mode, 2);
    change(&ToneSettings::Opacity, 80);
    change(&ToneSettings::GrayPoint, 30);
    change(&ToneSettings::Contrast, 20);
    change(&ToneSettings::Contrast, 100);
    change(&ToneSettings::Details, 8);
    change(&ToneSettings::DetectSH, 4);
    change(&ToneSettings::DetectSH, 0);
    change(&ToneSettings::Smoothing, 0);
    change(&ToneSettings::ColorNR, 0);
    change(&ToneSettings::Softness, 120);
    change(&ToneSettings::Lightness, 0);
    change(&ToneSettings::Lightness, 70);
    change(&ToneSettings::Sharpness, 150);
    change(&ToneSettings::SharpnessRadius, 30);
    change(&ToneSettings::Mode, 8);
}

TEST_F(EndToEnd, ResultDoesNotDependOnTheWorkerCount)
{
    ToneSettings s = tonePresets()[8].settings;  // "Efekty specjalne": most stages on
    s.Sharpness = 60;
    apply(s);
    ctx->workerCount = 1;
    recomputeAll();
    const std::vector<uint8_t> single = output();
    ctx->workerCount = 7;
    recomputeAll();
    EXPECT_EQ(output(), single);
    ctx->workerCount = ImageIoContext::defaultWorkerCount();
}

}  // namespace
}  // namespace qv
