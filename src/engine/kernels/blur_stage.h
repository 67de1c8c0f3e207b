#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "engine/kernels/gaussian_blur.h"
#include "engine/pipeline/stage_runner.h"

namespace qv {

// The planes of a stage built on the separable blur: its input, the
// horizontal pass of the blur (scratch, W x H) and its output.
struct BlurPlanes {
    const uint16_t* in = nullptr;
    uint16_t* horizontal = nullptr;
    uint16_t* out = nullptr;
};

// The fields every work item of such a stage has.
struct BlurItem : WorkItem {
    BlurPlanes planes;
    const GaussianKernel* kernel = nullptr;  // null when this run does not blur
};

// Makes the Gaussian kernel of spread `sigma` (none without one; false when
// the spread gives no kernel), one item per band of a width x height image
// with the planes and the kernel, lets `fill` add the stage's own fields to
// each, and runs `worker` over the items.
template <class Item, class Fill, class Worker>
bool runBlurStage(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height,
                  const BlurPlanes& planes, std::optional<float> sigma, const StageOptions& options, Fill fill,
                  Worker worker)
{
    std::optional<GaussianKernel> kernel;
    if (sigma && !(kernel = makeGaussianKernel(*sigma)))
        return false;
    auto items = stageItems<Item>(ctx, width, height);
    for (Item& item : items) {
        item.planes = planes;
        item.kernel = kernel ? &*kernel : nullptr;
        fill(item);
    }
    return runStage(ctx, abort, items, options, worker);
}

}  // namespace qv
