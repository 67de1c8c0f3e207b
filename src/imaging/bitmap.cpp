#include "imaging/bitmap.h"

#include <cstdlib>
#include <limits>

namespace qv {

void Bitmap::FreeBytes::operator()(uint8_t* p) const { std::free(p); }

Bitmap::Bitmap(int width, int height, PixelFormat format, std::ptrdiff_t stride, Bytes data)
    : width_(width), height_(height), format_(format), stride_(stride), data_(std::move(data))
{
}

std::unique_ptr<Bitmap> Bitmap::create(int width, int height, PixelFormat format)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(width) * bytesPerPixel(format) + 3) & ~std::ptrdiff_t(3);
    if (height > std::numeric_limits<std::ptrdiff_t>::max() / stride)
        return nullptr;
    const std::size_t size = static_cast<std::size_t>(stride) * height;
    // Zero from the allocator: a large block comes as fresh pages, which the
    // system clears as they are first written, instead of a pass over them here.
    Bytes data(static_cast<uint8_t*>(std::calloc(size, 1)));
    if (!data)
        return nullptr;
    return std::unique_ptr<Bitmap>(new Bitmap(width, height, format, stride, std::move(data)));
}

void copyHighBytes(const Bitmap& source48, Bitmap& target24)
{
    const int n = source48.width() * 3;
    for (int y = 0; y < source48.height(); ++y) {
        const uint16_t* in = source48.row16(y);
        uint8_t* out = target24.row(y);
        for (int i = 0; i < n; ++i)
            out[i] = static_cast<uint8_t>(in[i] >> 8);
    }
}

void widenTo16(const Bitmap& source24, Bitmap& target48)
{
    for (int y = 0; y < source24.height(); ++y)
        widenRow(source24.row(y), target48.row16(y), source24.width() * 3);
}

void widenRow(const uint8_t* in, uint16_t* out, int samples)
{
    for (int i = 0; i < samples; ++i)
        out[i] = static_cast<uint16_t>(in[i] << 8);
}

}  // namespace qv
