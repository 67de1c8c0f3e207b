#include "engine/stages/sharpening/sharpening.h"

#include <optional>

#include "engine/kernels/gaussian_blur.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// Differences below this (on the 0..65535 scale) are sharpened proportionally less.
constexpr int kSoftThreshold = 1024;

struct SharpenItem : WorkItem {
    const uint16_t* in = nullptr;
    uint16_t* horizontal = nullptr;  // the horizontal pass of the blur
    uint16_t* out = nullptr;
    const GaussianKernel* kernel = nullptr;
    float amount = 0.0f;
};

// The vertical pass of the blur, combined at once with the unblurred value:
// a block of columns is blurred into its place in the output and sharpened
// there.
bool sharpenColumns(SharpenItem& item)
{
    BlurScratch scratch;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    return forEachItemColumnBlock(item, [&](int x, int columns) {
        blurColumns(item.horizontal + x, stride, item.out + x, stride, item.height, columns, *item.kernel, scratch);
        for (int y = 0; y < item.height; ++y) {
            const uint16_t* a = item.in + y * stride + x;
            uint16_t* out = item.out + y * stride + x;
            for (int c = 0; c < columns; ++c)
                out[c] = sharpenValue(a[c], out[c], item.amount);
        }
    });
}

bool sharpenWorker(SharpenItem& item)
{
    return blurBandRows(item, item.in, item.horizontal, *item.kernel) && item.passDone() && sharpenColumns(item);
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

bool runSharpeningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    ctx.statusCode.store(StatusCode::Sharpening, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    const int width = state.width;
    const int height = state.height;
    const ToneSettings& s = ctx.current;
    uint16_t* const horizontal = horizontalBlurPass(state).data();
    if (!in || !out || in == out || width <= 0 || height <= 0 || !horizontal ||
        s.Sharpness > 200 || s.SharpnessRadius < 4 || s.SharpnessRadius > 40)
        return false;
    const std::optional<GaussianKernel> kernel =
        makeGaussianKernel(static_cast<float>(s.SharpnessRadius) / 10.0f);
    if (!kernel)
        return false;

    auto items = makeWorkItems<SharpenItem>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
    for (SharpenItem& item : items) {
        item.in = in;
        item.horizontal = horizontal;
        item.out = out;
        item.kernel = &*kernel;
        item.amount = static_cast<float>(s.Sharpness) / 100.0f;
    }
    StageOptions options;
    options.statusCode = StatusCode::Sharpening;
    options.totalWork = int64_t(width) + height;
    return runStage(ctx, state.abort, items, options, sharpenWorker);
}

}  // namespace qv
