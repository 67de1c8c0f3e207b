#include "engine/stages/tone_curve/tone_curve.h"

#include <optional>

#include "engine/kernels/gaussian_blur.h"
#include "engine/kernels/simd.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "engine/pipeline/weight_tables.h"
#include "engine/stages/tone_curve/tone_curve_lanes.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// What a run of the stage depends on besides the planes.
struct ToneCurveParams {
    int contrast = 0;  // weight of the unchanged value, 0..100
    bool firstRun = false;
};

struct ToneCurveItem : WorkItem {
    const uint16_t* luma = nullptr;
    uint16_t* scratch = nullptr;  // horizontal pass of the blur
    uint16_t* blurred = nullptr;  // cached blur of luma
    uint16_t* curve = nullptr;
    const GaussianKernel* kernel = nullptr;  // first runs only
    const float* exponents = nullptr;
    ToneCurveRowMapper mapRow = nullptr;
    ToneCurveParams params;
};

bool toneCurveWorker(ToneCurveItem& item)
{
    const bool firstRun = item.params.firstRun;
    if (firstRun && !separableBlur(item, item.luma, item.scratch, item.blurred, *item.kernel))
        return false;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t row = y * stride;
        item.mapRow(item.luma + row, item.blurred + row, item.curve + row, item.width, item.exponents,
                    item.params.contrast);
        // The percentage of a first run counts the blur only.
        if (firstRun ? item.stopped() : !item.tick())
            return false;
    }
    return true;
}

bool planesReady(PipelineState& state)
{
    return !toneCurveBlur(state).empty() && !horizontalBlurPass(state).empty() &&
           state.firstWeights.bytes() >= 2 * kWeightTableScale * sizeof(float);
}

}  // namespace

void mapToneCurveRowPlain(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                          const float* exponents, int contrast)
{
    tone_lanes::mapPixelsFrom(0, luma, blurred, out, width, exponents, contrast);
}

ToneCurveRowMapper toneCurveRowMapper()
{
    return pickKernel(mapToneCurveRowPlain, QV_AVX2_TWIN(tone_lanes::mapToneCurveRowAvx2));
}

bool runToneCurveStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out, bool firstRun)
{
    const int width = state.width;
    const int height = state.height;
    const ToneCurveParams params{ctx.current.Contrast, firstRun};
    if (params.contrast > 100 || !in || !out || width <= 0 || height <= 0 || !planesReady(state))
        return false;

    std::optional<GaussianKernel> kernel;
    if (firstRun && !(kernel = makeGaussianKernel(1.0f)))
        return false;

    const ToneCurveRowMapper mapRow = toneCurveRowMapper();
    auto items = makeWorkItems<ToneCurveItem>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
    for (ToneCurveItem& item : items) {
        item.luma = in;
        item.scratch = horizontalBlurPass(state).data();
        item.blurred = toneCurveBlur(state).data();
        item.curve = out;
        item.kernel = kernel ? &*kernel : nullptr;
        item.exponents = state.firstWeightTable();
        item.mapRow = mapRow;
        item.params = params;
    }
    StageOptions options;
    options.statusCode = StatusCode::ToneCurve;
    options.totalWork = firstRun ? int64_t(width) + height : height;
    return runStage(ctx, state.abort, items, options, toneCurveWorker);
}

}  // namespace qv
