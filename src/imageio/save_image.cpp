#include "imageio/save_image.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "codec/codec_encode.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "imageio/image_io_context.h"
#include "imageio/resample.h"
#include "imageio/tiff16_writer.h"
#include "settings/replacement_file.h"
#include "text/failure_text.h"
#include "text/status_codes.h"

namespace qv {

namespace {

bool fail(ImageIoContext& ctx, std::string text = {})
{
    ctx.errorText = std::move(text);
    return false;
}

// "Błąd zapisu „path”: reason", or without the reason when there is none.
bool failWriting(ImageIoContext& ctx, const SaveOptions& options, std::string reason)
{
    return fail(ctx, failureLine(kWriteErrorText, options.path, reason));
}

bool failWriting(ImageIoContext& ctx, const SaveOptions& options, int error)
{
    return failWriting(ctx, options, error != 0 ? failureReason(error) : std::string());
}

bool failOutOfMemory(ImageIoContext& ctx, const SaveOptions& options) { return failWriting(ctx, options, ENOMEM); }

// The file is complete; it takes the target's place unless the save was
// aborted meanwhile (an encoder that cannot be stopped half-way still must
// not leave its result behind).
bool commitUnlessAborted(ImageIoContext& ctx, const PipelineState& state, const SaveOptions& options,
                         ReplacementFile& file)
{
    if (state.abort.load(std::memory_order_relaxed))
        return fail(ctx);
    if (const int error = file.commit(); error != 0)
        return failWriting(ctx, options, error);
    return true;
}

// A request the state can serve: an output bitmap with its 48-bit result
// buffer behind it, a known file type, a JPEG quality in range and, when
// scaling is asked for, a target of at least one pixel.
bool acceptable(const PipelineState& state, const SaveOptions& options)
{
    const Bitmap* output = state.output.get();
    if (!output || output->format() != PixelFormat::Bgr24 || output->width() <= 0 || output->height() <= 0)
        return false;
    const std::size_t resultValues = static_cast<std::size_t>(output->width()) * output->height() * 3;
    if (options.type == SaveFileType::Tiff16 && resultBuffer(state).size() < resultValues)
        return false;
    if (options.type != SaveFileType::Jpeg && options.type != SaveFileType::Tiff8 &&
        options.type != SaveFileType::Tiff16)
        return false;
    if (options.type == SaveFileType::Jpeg && (options.jpegQuality < 0 || options.jpegQuality > 100))
        return false;
    return !options.resize || (options.width > 0 && options.height > 0);
}

// Scaling happens only to shrink both sides; any other request keeps the size.
bool scalingAsked(const SaveOptions& options, const Bitmap& output)
{
    return options.resize && options.width < output.width() && options.height < output.height();
}

template <class Sample>
PixelRows<Sample> rowsOf(Bitmap& bitmap)
{
    return {reinterpret_cast<Sample*>(bitmap.bits()), bitmap.width(), bitmap.height(), bitmap.stride()};
}

// Lanczos-3 reduction of `source` into `target` with one work buffer; the
// resampler's own progress is not shown.
template <class Sample>
ResampleResult shrink(PixelRows<const Sample> source, PixelRows<Sample> target, const std::atomic<bool>& abort,
                      int workers)
{
    std::unique_ptr<float[]> work(new (std::nothrow) float[resampleWorkFloats(target.width, source.height)]);
    if (!work)
        return ResampleResult::OutOfMemory;
    std::atomic<int> progress{0};
    return resampleImage(source, target, work.get(), ResampleKernel::Lanczos3, {abort, progress, workers});
}

// JPEG and 8-bit TIFF through the codec service, from the output bitmap.
// Encoding cannot be aborted, so the percentage shows 100 from the start.
bool saveThroughCodec(ImageIoContext& ctx, PipelineState& state, const SaveOptions& options, bool scale)
{
    Bitmap& output = *state.output;
    ctx.percent.store(100, std::memory_order_relaxed);
    const codec::FileType type = options.type == SaveFileType::Jpeg ? codec::FileType::Jpeg : codec::FileType::Tiff;
    if (!codec::hasEncoder(codec::mimeType(type)))
        return fail(ctx);

    std::unique_ptr<Bitmap> scaled;
    if (scale) {
        scaled = Bitmap::create(options.width, options.height, PixelFormat::Bgr24);
        if (!scaled)
            return failOutOfMemory(ctx, options);
        const std::atomic<bool> neverAborted{false};
        if (shrink(rowsOf<const uint8_t>(output), rowsOf<uint8_t>(*scaled), neverAborted, ctx.workerCount) !=
            ResampleResult::Done)
            return failOutOfMemory(ctx, options);
    }

    ReplacementFile file(options.path);
    if (file.error() != 0)
        return failWriting(ctx, options, file.error());
    const codec::Answer answer = codec::encodeToDescriptor(scaled ? *scaled : output, file.descriptor(),
                                                           {type, options.jpegQuality, kSavedImageTitle});
    // The codec's message is the reason for system errors and out-of-memory,
    // and empty for any other failure.
    if (!answer.ok())
        return failWriting(ctx, options, answer.message);
    return commitUnlessAborted(ctx, state, options, file);
}

// 16-bit TIFF from the 48-bit result buffer, row by row.
bool saveTiff16(ImageIoContext& ctx, PipelineState& state, const SaveOptions& options, bool scale)
{
    const Bitmap& output = *state.output;
    PixelRows<const uint16_t> image{resultBuffer(state).data(), output.width(), output.height(),
                                    static_cast<std::ptrdiff_t>(output.width()) * 6};
    std::unique_ptr<uint16_t[]> scaled;
    if (scale) {
        scaled.reset(new (std::nothrow) uint16_t[static_cast<std::size_t>(options.width) * options.height * 3]);
        if (!scaled)
            return failOutOfMemory(ctx, options);
        const PixelRows<uint16_t> target{scaled.get(), options.width, options.height,
                                         static_cast<std::ptrdiff_t>(options.width) * 6};
        const ResampleResult result = shrink(image, target, state.abort, ctx.workerCount);
        if (result == ResampleResult::OutOfMemory)
            return failOutOfMemory(ctx, options);
        if (result != ResampleResult::Done)
            return fail(ctx);
        image = {target.pixels, target.width, target.height, target.stride};
    }

    ReplacementFile file(options.path);
    if (file.error() != 0)
        return failWriting(ctx, options, file.error());
    const Tiff16WriteResult written =
        writeTiff16(file.temporaryPath(), image.pixels, image.width, image.height, state.abort, ctx.percent);
    switch (written.status) {
    case Tiff16WriteStatus::Written:
        break;
    case Tiff16WriteStatus::WriteError:
    case Tiff16WriteStatus::CannotCreate:
        return failWriting(ctx, options, written.systemError);
    case Tiff16WriteStatus::Aborted:
        return fail(ctx);
    }
    return commitUnlessAborted(ctx, state, options, file);
}

}  // namespace

bool saveImage(ImageIoContext& ctx, PipelineState& state, const SaveOptions& options)
{
    ctx.statusCode.store(StatusCode::Saving, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    ctx.statusText.set(options.path);
    if (!acceptable(state, options))
        return failWriting(ctx, options, EINVAL);

    const bool scale = scalingAsked(options, *state.output);
    if (options.type == SaveFileType::Tiff16)
        return saveTiff16(ctx, state, options, scale);
    return saveThroughCodec(ctx, state, options, scale);
}

ThreadResult runSaveThread(ImageIoContext& ctx, const SaveOptions& options)
{
    ctx.errorText.clear();
    if (!ctx.pipeline) {
        failWriting(ctx, options, EINVAL);
        return ThreadResult::Failed;
    }
    ctx.pipeline->abort.store(false, std::memory_order_relaxed);
    return saveImage(ctx, *ctx.pipeline, options) ? ThreadResult::Done : ThreadResult::Failed;
}

}  // namespace qv
