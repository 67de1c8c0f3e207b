#include "engine/stages/sharpening/sharpening.h"

#include "engine/kernels/blur_stage.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// Differences below this (on the 0..65535 scale) are sharpened proportionally less.
constexpr int kSoftThreshold = 1024;

struct SharpenItem : BlurItem {
    float amount = 0.0f;
};

// The vertical pass of the blur, combined at once with the unblurred value:
// a block of columns is blurred into its place in the output and sharpened
// there.
bool sharpenColumns(SharpenItem& item)
{
    BlurScratch scratch;
    const BlurPlanes& p = item.planes;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    return forEachItemColumnBlock(item, [&](int x, int columns) {
        blurColumns(p.horizontal + x, stride, p.out + x, stride, item.height, columns, *item.kernel, scratch);
        for (int y = 0; y < item.height; ++y) {
            const uint16_t* a = p.in + y * stride + x;
            uint16_t* out = p.out + y * stride + x;
            for (int c = 0; c < columns; ++c)
                out[c] = sharpenValue(a[c], out[c], item.amount);
        }
    });
}

bool sharpenWorker(SharpenItem& item)
{
    return blurBandRows(item, item.planes.in, item.planes.horizontal, *item.kernel) && item.passDone() &&
           sharpenColumns(item);
}

}  // namespace

uint16_t sharpenValue(uint16_t a, uint64_t blur, float amount)
{
    const uint64_t d = a > blur ? a - blur : blur - a;
    const float f = d < kSoftThreshold ? (amount * static_cast<float>(d)) / static_cast<float>(kSoftThreshold) : amount;
    const float value = (f + 1.0f) * static_cast<float>(a) - f * static_cast<float>(blur);
    if (!(value < 65535.0f))
        return 65535;
    return value > 0.0f ? static_cast<uint16_t>(value) : 0;
}

std::optional<SharpenParams> SharpenParams::from(const ToneSettings& settings)
{
    if (!inFieldRange(settings, &ToneSettings::Sharpness) || !inFieldRange(settings, &ToneSettings::SharpnessRadius))
        return std::nullopt;
    return SharpenParams{static_cast<float>(settings.Sharpness) / 100.0f,
                         static_cast<float>(settings.SharpnessRadius) / 10.0f};
}

bool runSharpeningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    beginStage(ctx, StatusCode::Sharpening);
    const int width = state.width;
    const int height = state.height;
    const std::optional<SharpenParams> params = SharpenParams::from(ctx.current);
    uint16_t* const horizontal = horizontalBlurPass(state).data();
    if (!params || !in || !out || in == out || width <= 0 || height <= 0 || !horizontal)
        return false;
    StageOptions options;
    options.totalWork = int64_t(width) + height;
    return runBlurStage<SharpenItem>(
        ctx, state.abort, width, height, {in, horizontal, out}, params->sigma, options,
        [&](SharpenItem& item) { item.amount = params->amount; }, sharpenWorker);
}

}  // namespace qv
