#include "imageio/raw_decoder.h"

#include <fcntl.h>
#include <libraw/libraw.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "imageio/image_io_context.h"
#include "imageio/tiff_file.h"
#include "settings/file_checks.h"
#include "text/failure_text.h"

namespace qv {

namespace {

// Called by LibRaw between its processing steps; a non-zero answer cancels.
int cancelOnAbort(void* abortFlag, LibRaw_progress, int, int)
{
    return static_cast<const std::atomic<bool>*>(abortFlag)->load(std::memory_order_relaxed) ? 1 : 0;
}

// Called by LibRaw where the data it decodes ends early or makes no sense;
// it goes on with made-up values, so the decode must not count as done.
void noteDataError(void* damaged, const char*, const int) { *static_cast<bool*>(damaged) = true; }

// A failed library step: cancelled ends without text, memory with the
// out-of-memory reason, anything else as damaged data.
DecodeResult failure(int code)
{
    if (code == LIBRAW_CANCELLED_BY_CALLBACK)
        return DecodeResult::failed();
    return DecodeResult::failed(code == LIBRAW_UNSUFFICIENT_MEMORY ? failureReason(ENOMEM) : kDamagedReason);
}

// unpack and dcraw_process may still find that the file is not theirs.
DecodeResult stepFailure(int code)
{
    return code == LIBRAW_FILE_UNSUPPORTED ? DecodeResult::notThisFormat() : failure(code);
}

void setProcessingParameters(libraw_output_params_t& params, const AppConfig& config)
{
    params.threshold = config.rawNoiseReduction ? 255.0f : 0.0f;  // wavelet denoising
    params.use_camera_wb = config.rawAutoWhiteBalance ? 0 : 1;
    params.highlight = config.lightRecovery ? 3 : 0;  // reconstruct, or clip
    params.use_auto_wb = 1;  // applies when the file records no white balance
    params.use_camera_matrix = 1;
    params.output_color = 1;  // sRGB
    params.output_bps = 16;
    params.user_flip = -1;  // orientation as recorded
    params.user_qual = 3;   // AHD demosaicing
}

// Formats whose files LibRaw recognises by a signature at the start; a file
// of one of them that LibRaw cannot even identify is cut or damaged, not
// someone else's.
bool hasRawSignature(const std::string& path)
{
    std::array<char, 16> head{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t read = ::read(fd, head.data(), head.size());
    ::close(fd);
    const std::string_view start(head.data(), read > 0 ? static_cast<std::size_t>(read) : 0);
    const bool ciff = start.size() >= 14 && (start.starts_with("II") || start.starts_with("MM")) &&
                      start.substr(6, 8) == "HEAPCCDR";  // Canon CRW
    return ciff || start.starts_with("FUJIFILM");
}

struct LibRawDeleter {
    void operator()(LibRaw* raw) const
    {
        raw->recycle();
        delete raw;
    }
};

struct MemImageDeleter {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};
using MemImage = std::unique_ptr<libraw_processed_image_t, MemImageDeleter>;

// The library's result is taken only as a 3-colour bitmap of 8 or 16 bits
// whose data really holds every row it claims.
bool usable(const libraw_processed_image_t& image)
{
    if (image.type != LIBRAW_IMAGE_BITMAP || image.colors != 3 || (image.bits != 8 && image.bits != 16))
        return false;
    if (image.width < kMinImageSide || image.height < kMinImageSide)
        return false;
    const uint64_t needed = uint64_t(image.width) * image.height * 3 * (image.bits / 8);
    return image.data_size >= needed;
}

// Rows are packed red, green, blue; the bitmaps are blue, green, red.
template <class Sample>
bool convertRows(const DecodeJob& job, const libraw_processed_image_t& image, SourcePair& pair)
{
    const auto* samples = reinterpret_cast<const Sample*>(image.data);
    const std::size_t rowSamples = std::size_t(image.width) * 3;
    for (int y = 0; y < image.height; ++y) {
        const Sample* row = samples + y * rowSamples;
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, y, channel, row + (2 - channel), 3);
        if (job.aborted())
            return false;
    }
    return true;
}

}  // namespace

DecodeResult decodeRaw(const DecodeJob& job, SourcePair& pair)
{
    const ProgressRange& range = job.range;
    job.publishPercent(range.start);

    std::unique_ptr<LibRaw, LibRawDeleter> raw(
        new (std::nothrow) LibRaw(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK));
    if (!raw)
        return job.fail(pair, failureReason(ENOMEM));
    bool damaged = false;
    raw->set_progress_handler(cancelOnAbort, const_cast<std::atomic<bool>*>(&job.abort));
    raw->set_dataerror_handler(noteDataError, &damaged);
    raw->recycle();

    // LibRaw answers an input/output error also when a file is too short to
    // be identified at all (a few bytes of text): that is not a RAW file,
    // unless it starts like one, and then it is cut or damaged.
    int code = raw->open_file(job.path.c_str());
    if (code == LIBRAW_IO_ERROR)
        if (const int error = inputFileError(job.path); error != 0 && error != kErrorEmptyFile)
            return job.fail(pair, failureReason(error));
    if (code == LIBRAW_FILE_UNSUPPORTED || code == LIBRAW_IO_ERROR)
        return hasRawSignature(job.path) ? job.fail(pair, kDamagedReason) : DecodeResult::notThisFormat();
    if (code != LIBRAW_SUCCESS)  // the progress callback already runs while the file is identified
        return failure(code);
    // Data that reaches past the end of the file is found before the library
    // decodes it and has its JPEG decoder complain on the terminal.
    if (tiffDataCutShort(job.path))
        return job.fail(pair, kDamagedReason);
    if ((code = raw->unpack()) != LIBRAW_SUCCESS)
        return stepFailure(code);
    if (damaged)
        return job.fail(pair, kDamagedReason);

    job.publishPercent(range.at(40, 100));
    setProcessingParameters(raw->imgdata.params, job.context.config);
    if ((code = raw->dcraw_process()) != LIBRAW_SUCCESS)
        return stepFailure(code);
    if (damaged)
        return job.fail(pair, kDamagedReason);

    job.publishPercent(range.at(70, 100));
    MemImage image(raw->dcraw_make_mem_image(&code));
    if (!image)
        return failure(code);
    if (!usable(*image))
        return DecodeResult::notThisFormat();

    job.publishPercent(range.at(85, 100));
    if (std::optional<DecodeResult> allocationFailure = job.allocate(pair, image->width, image->height))
        return *allocationFailure;
    const bool wide = image->bits == 16;
    const bool converted = wide ? convertRows<uint16_t>(job, *image, pair) : convertRows<uint8_t>(job, *image, pair);
    image.reset();
    if (!converted)
        return job.fail(pair);
    DecodeResult result = job.finish(pair, wide ? 48 : 24);
    if (result.status == DecodeStatus::Decoded)
        job.publishPercent(range.end);
    return result;
}

}  // namespace qv
