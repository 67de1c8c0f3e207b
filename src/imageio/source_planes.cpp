#include "imageio/source_planes.h"

#include "engine/kernels/simd.h"
#include "imageio/parallel_rows.h"
#include "imaging/bitmap.h"

namespace qv {

namespace {

// Rows a thread takes at once: few enough to spread a small image, many
// enough that taking them costs nothing.
constexpr int kRowsPerTask = 16;

}  // namespace

void sourcePlaneRowPlain(const uint16_t* bgr, int width, uint16_t* luminance, int16_t* chroma)
{
    for (int x = 0; x < width; ++x) {
        const SourcePixelPlanes p = sourcePixelPlanes(bgr[3 * x], bgr[3 * x + 1], bgr[3 * x + 2]);
        luminance[x] = p.luminance;
        chroma[2 * x] = p.u;
        chroma[2 * x + 1] = p.v;
    }
}

SourcePlaneRow sourcePlaneRow() { return pickKernel(sourcePlaneRowPlain, QV_AVX2_TWIN(sourcePlaneRowAvx2)); }

bool computeSourcePlanes(const Bitmap& working, uint16_t* luminance, int16_t* chroma, const std::atomic<bool>& abort,
                         std::atomic<int>& percent, int workers)
{
    const int width = working.width();
    const int height = working.height();
    const int start = percent.load();
    const SourcePlaneRow planeRow = sourcePlaneRow();
    return forEachRowBlockParallel(height, kRowsPerTask, workers, [&](int y) {
        raiseTo(percent, static_cast<int>(static_cast<int64_t>(y) * 40 / height) + start);
        planeRow(working.row16(y), width, luminance + static_cast<std::size_t>(y) * width,
                 chroma + static_cast<std::size_t>(y) * width * 2);
        return !abort.load(std::memory_order_relaxed);
    });
}

}  // namespace qv
