#include "engine/stages/region/region_detection.h"

#include <algorithm>

#include "engine/kernels/blur_stage.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

bool regionWorker(BlurItem& item)
{
    return separableBlur(item, item.planes.in, item.planes.horizontal, item.planes.out, *item.kernel);
}

}  // namespace

int regionSigma(int width, int height, int detectSH)
{
    return std::max(static_cast<int>(int64_t(std::max(width, height)) * detectSH / 200), 1);
}

std::optional<RegionParams> RegionParams::from(const ToneSettings& settings, int width, int height)
{
    if (!inFieldRange(settings, &ToneSettings::DetectSH))
        return std::nullopt;
    return RegionParams{regionSigma(width, height, settings.DetectSH)};
}

bool runRegionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    const int width = state.width;
    const int height = state.height;
    const std::optional<RegionParams> params = RegionParams::from(ctx.current, width, height);
    uint16_t* const scratch = horizontalBlurPass(state).data();
    if (!params || !in || !out || width <= 0 || height <= 0 || !scratch)
        return false;
    StageOptions options;
    options.statusCode = StatusCode::Region;
    options.totalWork = int64_t(width) + height;
    return runBlurStage<BlurItem>(ctx, state.abort, width, height, {in, scratch, out},
                                  static_cast<float>(params->sigma), options, [](BlurItem&) {}, regionWorker);
}

}  // namespace qv
