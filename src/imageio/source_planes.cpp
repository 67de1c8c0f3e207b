#include "imageio/source_planes.h"

#include "imaging/bitmap.h"

namespace qv {

SourcePixelPlanes sourcePixelPlanes(uint16_t blue, uint16_t green, uint16_t red)
{
    const float b = blue;
    const float g = green;
    const float r = red;
    const float u = ((0.436f * b - 0.28886f * g) - 0.14713f * r) / 0.872f;
    const float v = (0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f;
    const float y = (0.299f * r + 0.114f * b) + 0.587f * g;
    // Over 0..65535 inputs U and V stay within +-32767.5 and Y within
    // 65535.x, so truncation alone keeps them in their 16-bit ranges.
    return {static_cast<uint16_t>(static_cast<int>(y)), static_cast<int16_t>(static_cast<int>(u)),
            static_cast<int16_t>(static_cast<int>(v))};
}

bool computeSourcePlanes(const Bitmap& working, uint16_t* luminance, int16_t* chroma, const std::atomic<bool>& abort,
                         std::atomic<int>& percent)
{
    const int width = working.width();
    const int height = working.height();
    const int start = percent.load();
    for (int y = 0; y < height; ++y) {
        percent = static_cast<int>(static_cast<int64_t>(y) * 40 / height) + start;
        const uint16_t* in = working.row16(y);
        uint16_t* lumaRow = luminance + static_cast<std::size_t>(y) * width;
        int16_t* chromaRow = chroma + static_cast<std::size_t>(y) * width * 2;
        for (int x = 0; x < width; ++x) {
            const SourcePixelPlanes p = sourcePixelPlanes(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
            lumaRow[x] = p.luminance;
            chromaRow[2 * x] = p.u;
            chromaRow[2 * x + 1] = p.v;
        }
        if (abort.load(std::memory_order_relaxed))
            return false;
    }
    return true;
}

}  // namespace qv
