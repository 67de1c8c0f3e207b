#include "imageio/source_planes.h"

#include "imaging/bitmap.h"

namespace qv {

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
