#include "imageio/source_pair.h"

#include <cerrno>
#include <cstring>

#include "engine/processing_context.h"

namespace qv {

void DecodeJob::publishPercent(int percent) const { context.percent.store(percent, std::memory_order_relaxed); }

void DecodeJob::setError(std::string text) const { context.errorText = std::move(text); }

bool DecodeJob::allocate(SourcePair& pair, int64_t width, int64_t height) const
{
    pair.release();
    if (width <= kMaxSourcePixels && height <= kMaxSourcePixels && width * height <= kMaxSourcePixels) {
        pair.image8 = Bitmap::create(static_cast<int>(width), static_cast<int>(height), PixelFormat::Bgr24);
        if (pair.image8)
            pair.image16 = Bitmap::create(static_cast<int>(width), static_cast<int>(height), PixelFormat::Bgr48);
        if (pair.image16)
            return true;
    }
    pair.release();
    setError(std::strerror(ENOMEM));
    return false;
}

DecodeResult DecodeJob::fail(SourcePair& pair, std::string text) const
{
    pair.release();
    if (!text.empty())
        setError(std::move(text));
    return kDecodeFailed;
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
    return kDecoded;
}

namespace {

template <class Sample>
void storeChannelOf(SourcePair& pair, int y, int channel, const Sample* samples, int step)
{
    uint16_t* out16 = pair.image16->row16(y) + channel;
    uint8_t* out8 = pair.image8->row(y) + channel;
    const int width = pair.image16->width();
    for (int x = 0; x < width; ++x, samples += step, out16 += 3, out8 += 3) {
        if constexpr (sizeof(Sample) == 2) {
            *out16 = *samples;
            *out8 = static_cast<uint8_t>(*samples >> 8);
        } else {
            *out16 = static_cast<uint16_t>(*samples << 8);
            *out8 = *samples;
        }
    }
}

}  // namespace

void storeChannel(SourcePair& pair, int y, int channel, const uint16_t* samples, int step)
{
    storeChannelOf(pair, y, channel, samples, step);
}

void storeChannel(SourcePair& pair, int y, int channel, const uint8_t* samples, int step)
{
    storeChannelOf(pair, y, channel, samples, step);
}

}  // namespace qv
