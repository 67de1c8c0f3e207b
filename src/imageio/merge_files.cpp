#include "imageio/merge_files.h"

#include "engine/pipeline/pipeline_state.h"
#include "imageio/decode_file.h"
#include "imageio/exposure_merge.h"
#include "imageio/image_io_context.h"
#include "text/failure_text.h"

namespace qv {

namespace {

// "1408 × 1056 pikseli, 24 bpp"
std::string formatText(const Exposure& exposure)
{
    return pictureSizeText(exposure.image16->width(), exposure.image16->height()) + ", " +
           std::to_string(exposure.bitDepth) + " bpp";
}

}  // namespace

bool mergeExposures(ImageIoContext& ctx, PipelineState& state, const std::vector<std::string>& files)
{
    const int count = static_cast<int>(files.size());
    std::vector<Exposure> exposures;
    exposures.reserve(files.size());
    for (int i = 0; i < count; ++i) {
        const ProgressRange range{i * 100 / (count + 1), (i * 100 + 100) / (count + 1)};
        Exposure exposure;
        if (!decodeFile(files[i], ctx, state.abort, exposure, range))
            return false;
        exposure.bitDepth = ctx.bitDepth;
        if (i > 0 && !sameFormat(exposure, exposures.back())) {
            ctx.errorText = failureLine(kMergeMismatchText, files[i], formatText(exposure) + " zamiast " +
                                                                         formatText(exposures.back()));
            return false;
        }
        exposures.push_back(std::move(exposure));
    }
    ctx.statusText.set(kMergeStatusText);

    Exposure merged;
    if (!mergeDecodedExposures(std::move(exposures), ctx, state.abort, merged))
        return false;
    const int width = merged.image16->width();
    const int height = merged.image16->height();
    state.source = std::move(merged.image8);
    state.working = std::move(merged.image16);
    ctx.workingWidth.store(width, std::memory_order_relaxed);
    ctx.workingHeight.store(height, std::memory_order_relaxed);
    ctx.decodedWidth = width;
    ctx.decodedHeight = height;
    return true;
}

}  // namespace qv
