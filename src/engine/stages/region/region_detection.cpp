#include "engine/stages/region/region_detection.h"

#include <algorithm>
#include <optional>

#include "engine/kernels/gaussian_blur.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

constexpr int kMaxDetectSH = 5;

struct RegionItem : WorkItem {
    const uint16_t* luminance = nullptr;
    uint16_t* scratch = nullptr;  // horizontal pass of the blur
    uint16_t* region = nullptr;
    const GaussianKernel* kernel = nullptr;
};

bool regionWorker(RegionItem& item)
{
    return separableBlur(item, item.luminance, item.scratch, item.region, *item.kernel);
}

}  // namespace

int regionSigma(int width, int height, int detectSH)
{
    return std::max(static_cast<int>(int64_t(std::max(width, height)) * detectSH / 200), 1);
}

bool runRegionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    const int width = state.width;
    const int height = state.height;
    const int detectSH = ctx.current.DetectSH;
    uint16_t* const scratch = horizontalBlurPass(state).data();
    if (detectSH > kMaxDetectSH || !in || !out || width <= 0 || height <= 0 || !scratch)
        return false;
    const std::optional<GaussianKernel> kernel =
        makeGaussianKernel(static_cast<float>(regionSigma(width, height, detectSH)));
    if (!kernel)
        return false;

    auto items = makeWorkItems<RegionItem>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
    for (RegionItem& item : items) {
        item.luminance = in;
        item.scratch = scratch;
        item.region = out;
        item.kernel = &*kernel;
    }
    StageOptions options;
    options.statusCode = StatusCode::Region;
    options.totalWork = int64_t(width) + height;
    return runStage(ctx, state.abort, items, options, regionWorker);
}

}  // namespace qv
