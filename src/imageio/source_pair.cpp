#include "imageio/source_pair.h"

#include <cerrno>
#include <type_traits>

#include "imageio/image_io_context.h"
#include "text/failure_text.h"

namespace qv {

std::string tooSmallReason(int64_t width, int64_t height)
{
    return "obraz jest za mały: " + pictureSizeText(width, height) + ", a najmniej " + std::to_string(kMinImageSide) +
           " na bok";
}

std::string tooLargeReason(int64_t width, int64_t height)
{
    return "obraz jest za duży: " + pictureSizeText(width, height) + ", a najwięcej " +
           std::to_string(kMaxSourcePixels) + " pikseli";
}

void DecodeJob::publishPercent(int percent) const { context.percent.store(percent, std::memory_order_relaxed); }

std::optional<DecodeResult> DecodeJob::allocate(SourcePair& pair, int64_t width, int64_t height) const
{
    pair.release();
    if (width > kMaxSourcePixels || height > kMaxSourcePixels || width * height > kMaxSourcePixels)
        return DecodeResult::failed(tooLargeReason(width, height));
    pair.image8 = Bitmap::create(static_cast<int>(width), static_cast<int>(height), PixelFormat::Bgr24);
    if (pair.image8)
        pair.image16 = Bitmap::create(static_cast<int>(width), static_cast<int>(height), PixelFormat::Bgr48);
    if (pair.image16)
        return std::nullopt;
    return fail(pair, failureReason(ENOMEM));
}

DecodeResult DecodeJob::fail(SourcePair& pair, std::string reason) const
{
    pair.release();
    return DecodeResult::failed(std::move(reason));
}

DecodeResult DecodeJob::finish(SourcePair& pair, int bitDepth) const
{
    if (aborted())
        return fail(pair);
    const int width = pair.image16->width();
    const int height = pair.image16->height();
    context.workingWidth.store(width, std::memory_order_relaxed);
    context.workingHeight.store(height, std::memory_order_relaxed);
    context.decodedWidth = width;
    context.decodedHeight = height;
    context.bitDepth = bitDepth;
    return DecodeResult::decoded();
}

namespace {

// Copies `length` samples to the elements at16, at8, ... of the two
// bitmaps, `step16` and `step8` elements apart. The steps of a plain row are
// compile-time constants, so that its loop is as tight as can be.
template <class Sample, class Step>
void copyRun(uint16_t* bits16, uint8_t* bits8, std::ptrdiff_t at16, std::ptrdiff_t at8, Step step16, Step step8,
             const Sample* samples, int step, int length)
{
    // The offsets may step outside the bitmaps only after the last pixel,
    // where no pointer is formed from them.
    for (int i = 0; i < length; ++i, samples += step, at16 += step16, at8 += step8) {
        if constexpr (sizeof(Sample) == 2) {
            bits16[at16] = *samples;
            bits8[at8] = static_cast<uint8_t>(*samples >> 8);
        } else {
            bits16[at16] = static_cast<uint16_t>(*samples << 8);
            bits8[at8] = *samples;
        }
    }
}

template <class Sample>
void storeChannelOf(SourcePair& pair, const PixelRun& run, int channel, const Sample* samples, int step)
{
    uint16_t* bits16 = pair.image16->row16(0);
    uint8_t* bits8 = pair.image8->row(0);
    const std::ptrdiff_t stride16 = pair.image16->stride() / 2;
    const std::ptrdiff_t stride8 = pair.image8->stride();
    const std::ptrdiff_t at16 = run.y * stride16 + 3 * run.x + channel;
    const std::ptrdiff_t at8 = run.y * stride8 + 3 * run.x + channel;
    if (run.dx == 1 && run.dy == 0) {
        using Three = std::integral_constant<std::ptrdiff_t, 3>;
        copyRun(bits16, bits8, at16, at8, Three{}, Three{}, samples, step, run.length);
    } else {
        copyRun(bits16, bits8, at16, at8, run.dy * stride16 + 3 * run.dx, run.dy * stride8 + 3 * run.dx, samples,
                step, run.length);
    }
}

PixelRun rowOf(const SourcePair& pair, int y) { return {0, y, 1, 0, pair.image16->width()}; }

}  // namespace

void storeChannel(SourcePair& pair, const PixelRun& run, int channel, const uint16_t* samples, int step)
{
    storeChannelOf(pair, run, channel, samples, step);
}

void storeChannel(SourcePair& pair, const PixelRun& run, int channel, const uint8_t* samples, int step)
{
    storeChannelOf(pair, run, channel, samples, step);
}

void storeChannel(SourcePair& pair, int y, int channel, const uint16_t* samples, int step)
{
    storeChannelOf(pair, rowOf(pair, y), channel, samples, step);
}

void storeChannel(SourcePair& pair, int y, int channel, const uint8_t* samples, int step)
{
    storeChannelOf(pair, rowOf(pair, y), channel, samples, step);
}

}  // namespace qv
