#include "engine/stages/tone_curve/tone_curve.h"

#include "engine/kernels/blur_stage.h"
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

// The kernel is there when the input changed: the blur is made anew.
struct ToneCurveItem : BlurItem {
    uint16_t* blurred = nullptr;  // cached blur of the input
    const float* exponents = nullptr;
    ToneCurveRowMapper mapRow = nullptr;
    ToneCurveParams params;
};

bool toneCurveWorker(ToneCurveItem& item)
{
    const BlurPlanes& p = item.planes;
    const bool blurs = item.kernel != nullptr;
    if (blurs && !separableBlur(item, p.in, p.horizontal, item.blurred, *item.kernel))
        return false;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t row = y * stride;
        item.mapRow(p.in + row, item.blurred + row, p.out + row, item.width, item.exponents,
                    item.params.contrast);
        // The percentage of a run that blurs counts the blur only.
        if (blurs ? item.stopped() : !item.tick())
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
    return pickKernel(mapToneCurveRowPlain, QV_AVX2_TWIN(tone_lanes::mapToneCurveRowAvx2),
                      QV_AVX512_TWIN(tone_lanes::mapToneCurveRowAvx512));
}

std::optional<ToneCurveParams> ToneCurveParams::from(const ToneSettings& settings)
{
    if (!inFieldRange(settings, &ToneSettings::Contrast))
        return std::nullopt;
    return ToneCurveParams{settings.Contrast};
}

bool runToneCurveStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out,
                       bool inputChanged)
{
    const int width = state.width;
    const int height = state.height;
    const std::optional<ToneCurveParams> params = ToneCurveParams::from(ctx.current);
    if (!params || !in || !out || width <= 0 || height <= 0 || !planesReady(state))
        return false;

    const ToneCurveRowMapper mapRow = toneCurveRowMapper();
    StageOptions options;
    options.statusCode = StatusCode::ToneCurve;
    options.totalWork = inputChanged ? int64_t(width) + height : height;
    const std::optional<float> sigma = inputChanged ? std::optional<float>(1.0f) : std::nullopt;
    return runBlurStage<ToneCurveItem>(
        ctx, state.abort, width, height, {in, horizontalBlurPass(state).data(), out}, sigma, options,
        [&](ToneCurveItem& item) {
            item.blurred = toneCurveBlur(state).data();
            item.exponents = state.firstWeightTable();
            item.mapRow = mapRow;
            item.params = *params;
        },
        toneCurveWorker);
}

}  // namespace qv
