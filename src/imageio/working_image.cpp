#include "imageio/working_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/weight_tables.h"
#include "imageio/image_io_context.h"
#include "imageio/parallel_rows.h"
#include "imageio/resample.h"
#include "imageio/source_pair.h"
#include "imageio/source_planes.h"
#include "text/failure_text.h"
#include "text/status_codes.h"

namespace qv {

namespace {

constexpr int kPanelWidth = 272;
constexpr int kPanelHeight = 136;
// Rows of the unprocessed image a thread copies into the output at once.
constexpr int kCopyRowsPerTask = 64;

// Releases what the preparation made; the source pair stays for the load
// thread, which releases it itself. Always false, so failures can return it.
bool abandonPreparation(PipelineState& state)
{
    std::unique_ptr<Bitmap> source = std::move(state.source);
    std::unique_ptr<Bitmap> working = std::move(state.working);
    state.reset();
    state.source = std::move(source);
    state.working = std::move(working);
    return false;
}

bool failOutOfMemory(ImageIoContext& ctx, PipelineState& state)
{
    ctx.errorText = failureLine(kLoadErrorText, {}, failureReason(ENOMEM));
    return abandonPreparation(state);
}

template <class Sample>
PixelRows<Sample> rowsOf(Bitmap& bitmap)
{
    return {reinterpret_cast<Sample*>(bitmap.bits()), bitmap.width(), bitmap.height(), bitmap.stride()};
}

// Replaces the source pair by its reduction to `size` (cubic kernel); the
// resampling takes the percentage from 0 to 60.
bool shrinkSourcePair(ImageIoContext& ctx, PipelineState& state, ImageSize size)
{
    std::unique_ptr<Bitmap> small24 = Bitmap::create(size.width, size.height, PixelFormat::Bgr24);
    std::unique_ptr<Bitmap> small48 = Bitmap::create(size.width, size.height, PixelFormat::Bgr48);
    std::unique_ptr<float[]> work(
        new (std::nothrow) float[resampleWorkFloats(size.width, state.working->height())]);
    if (!small24 || !small48 || !work)
        return failOutOfMemory(ctx, state);

    const ResampleResult result =
        resampleImage(rowsOf<const uint16_t>(*state.working), rowsOf<uint16_t>(*small48), work.get(),
                      ResampleKernel::Cubic, {state.abort, ctx.percent, ctx.workerCount});
    work.reset();
    if (result == ResampleResult::OutOfMemory)
        return failOutOfMemory(ctx, state);
    if (result != ResampleResult::Done)
        return abandonPreparation(state);

    state.working = std::move(small48);
    state.source = std::move(small24);
    copyHighBytes(*state.working, *state.source);
    return true;
}

// The output bitmap showing the unprocessed image, the pipeline's planes and
// tables, and the display panel.
bool allocateBuffers(ImageIoContext& ctx, PipelineState& state, ImageSize size)
{
    state.output = Bitmap::create(size.width, size.height, PixelFormat::Bgr24);
    if (!state.output)
        return failOutOfMemory(ctx, state);
    forEachRowBlockParallel(size.height, kCopyRowsPerTask, ctx.workerCount, [&](int y) {
        std::memcpy(state.output->row(y), state.source->row(y), static_cast<std::size_t>(size.width) * 3);
        return true;
    });

    state.panel = Bitmap::create(kPanelWidth, kPanelHeight, PixelFormat::Bgr24);
    if (!state.panel || !state.allocatePlanes(size.width, size.height))
        return failOutOfMemory(ctx, state);
    return true;
}

bool derivePlanes(ImageIoContext& ctx, PipelineState& state)
{
    BitmapLock lock(*state.working);
    if (!lock.owns() || !fillWeightTables(state))
        return false;
    return computeSourcePlanes(*state.working, state.luminancePlane(), state.sourceChromaPlane(), state.abort,
                               ctx.percent, ctx.workerCount);
}

bool validSourcePair(const PipelineState& state)
{
    return state.source && state.working && state.source->format() == PixelFormat::Bgr24 &&
           state.working->format() == PixelFormat::Bgr48 && state.source->width() == state.working->width() &&
           state.source->height() == state.working->height();
}

}  // namespace

ImageSize fitToBox(int width, int height, int maxWidth, int maxHeight)
{
    double newWidth = width;
    double newHeight = height;
    if (width > maxWidth) {
        newHeight = maxWidth / (static_cast<double>(width) / height);
        newWidth = maxWidth;
    }
    if (newHeight > maxHeight) {
        newWidth = newWidth / (newHeight / maxHeight);
        newHeight = maxHeight;
    }
    // A very long, thin image would otherwise lose its short side entirely.
    return {std::max(1, static_cast<int>(newWidth)), std::max(1, static_cast<int>(newHeight))};
}

int previewLimit(int mode)
{
    switch (mode) {
    case 1: return 800;
    case 2: return 1280;
    case 3: return 2048;
    default: return 0;
    }
}

bool prepareWorkingImage(ImageIoContext& ctx, PipelineState& state)
{
    ctx.statusCode = StatusCode::Preparing;
    ctx.percent = 0;
    if (!validSourcePair(state))
        return abandonPreparation(state);

    const ImageSize decoded{state.working->width(), state.working->height()};
    ctx.decodedWidth = decoded.width;
    ctx.decodedHeight = decoded.height;
    const int limit = previewLimit(ctx.config.previewMode);
    const ImageSize size = limit > 0 ? fitToBox(decoded.width, decoded.height, limit, limit) : decoded;
    ctx.workingWidth = size.width;
    ctx.workingHeight = size.height;

    if (size != decoded && !shrinkSourcePair(ctx, state, size))
        return false;
    if (!allocateBuffers(ctx, state, size))
        return false;
    if (state.abort || !derivePlanes(ctx, state))
        return abandonPreparation(state);
    return true;
}

std::size_t workingImageBytes(const PipelineState& state)
{
    std::size_t bytes = 0;
    for (const std::unique_ptr<Bitmap>* b : {&state.source, &state.working, &state.output, &state.panel})
        if (*b)
            bytes += (*b)->byteSize();
    for (const PlaneMemory* p : {&state.luminance, &state.sourceChroma, &state.detail, &state.region, &state.smoothed,
                                 &state.softened, &state.light, &state.sharpened, &state.lightMap, &state.curve,
                                 &state.merged, &state.denoisedChroma, &state.pairs, &state.firstWeights,
                                 &state.secondWeights})
        bytes += p->bytes();
    return bytes;
}

}  // namespace qv
