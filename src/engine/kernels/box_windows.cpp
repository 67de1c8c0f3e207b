#include "engine/kernels/box_windows.h"

#include <cstddef>

#include "engine/kernels/simd.h"

namespace qv {

void slideWindowsPlain(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels)
{
    const int r = row.radius;
    for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        sum[i] = static_cast<double>(run.sum);
        pixels[i] = static_cast<double>(run.pixels);
        if (x - r >= 0) {
            run.sum -= row.columnSums[x - r];
            run.pixels -= row.rows;
        }
        if (x + r + 1 < row.width) {
            run.sum += row.columnSums[x + r + 1];
            run.pixels += row.rows;
        }
    }
}

WindowSlider windowSlider() { return pickKernel(slideWindowsPlain, QV_AVX2_TWIN(slideWindowsAvx2)); }

void writeRowDeviationsPlain(const WindowRow& row, WindowRun run, const uint16_t* luma, DeviationDivisor divisor,
                             DeviationOutput output, int half, uint16_t* out)
{
    double sum[BoxWindows::kChunk];
    double pixels[BoxWindows::kChunk];
    for (int x0 = 0; x0 < row.width; x0 += BoxWindows::kChunk) {
        const int count = std::min(BoxWindows::kChunk, row.width - x0);
        slideWindowsPlain(row, run, x0, count, sum, pixels);
        writeDeviationsPlain({luma + x0, sum, pixels, count}, divisor, output, half, out + x0);
    }
}

RowDeviationWriter rowDeviationWriter()
{
    return pickKernel(writeRowDeviationsPlain, QV_AVX2_TWIN(writeRowDeviationsAvx2));
}

// The loops take the members into locals: the compiler cannot otherwise
// tell that the stores into the sums leave them alone, and would neither
// keep them in registers nor vectorise.

void BoxWindows::startAt(int y)
{
    uint32_t* sums = sums_;
    const int w = width_;
    std::fill(sums, sums + w, 0u);
    for (int row = std::max(y - radius_, 0); row <= std::min(y + radius_, height_ - 1); ++row) {
        const uint16_t* p = plane_ + static_cast<std::size_t>(row) * w;
        for (int x = 0; x < w; ++x)
            sums[x] += p[x];
    }
}

void BoxWindows::advance(int y)
{
    uint32_t* sums = sums_;
    const int w = width_;
    const uint16_t* leaving = y - radius_ >= 0 ? plane_ + static_cast<std::size_t>(y - radius_) * w : nullptr;
    const uint16_t* entering = y + radius_ + 1 < height_ ? plane_ + static_cast<std::size_t>(y + radius_ + 1) * w : nullptr;
    // Both rows in one sweep: the sum wraps through the subtraction and
    // back, to the same 32-bit value.
    if (leaving && entering) {
        for (int x = 0; x < w; ++x)
            sums[x] += uint32_t{entering[x]} - leaving[x];
    } else if (leaving) {
        for (int x = 0; x < w; ++x)
            sums[x] -= leaving[x];
    } else if (entering) {
        for (int x = 0; x < w; ++x)
            sums[x] += entering[x];
    }
}

}  // namespace qv
