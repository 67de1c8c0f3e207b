#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/kernels/window_deviation.h"

namespace qv {

// The windows of one row as they slide along it: the column sums of their
// rows, the radius and the number of rows each window spans.
struct WindowRow {
    const uint32_t* columnSums;
    int width;
    int radius;
    int64_t rows;
};

// A window's sum and pixel count, at the pixel it has reached.
struct WindowRun {
    int64_t sum;
    int64_t pixels;
};

// Writes the sum and pixel count of the windows of pixels x0 .. x0+count-1,
// whole numbers held exactly as doubles, `run` holding those of pixel x0,
// and moves `run` on to pixel x0 + count: the window of pixel x spans
// columns max(x - r, 0) .. min(x + r, W - 1).
using WindowSlider = void (*)(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels);
void slideWindowsPlain(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels);
// Four pixels at a time, the same bits.
void slideWindowsAvx2(const WindowRow& row, WindowRun& run, int x0, int count, double* sum, double* pixels);
WindowSlider windowSlider();

// The deviations (window_deviation.h) of every pixel of a row from its
// window, `run` holding the window of pixel 0: the slide and the
// deviations in one loop.
using RowDeviationWriter = void (*)(const WindowRow& row, WindowRun run, const uint16_t* luma,
                                    DeviationDivisor divisor, DeviationOutput output, int half, uint16_t* out);
void writeRowDeviationsPlain(const WindowRow& row, WindowRun run, const uint16_t* luma, DeviationDivisor divisor,
                             DeviationOutput output, int half, uint16_t* out);
// Four pixels at a time, the same bits.
void writeRowDeviationsAvx2(const WindowRow& row, WindowRun run, const uint16_t* luma, DeviationDivisor divisor,
                            DeviationOutput output, int half, uint16_t* out);
RowDeviationWriter rowDeviationWriter();

// The (2r+1)-square windows around the pixels of a band of rows, clipped to
// the image: running column sums moved down a row at a time and a window
// sum slid along each row, so that the cost per pixel does not depend on r.
// The column sums are one row of W unsigned 32-bit values, the caller's;
// see fits().
class BoxWindows {
public:
    // Pixels of a row whose windows are handed over together.
    static constexpr int kChunk = 64;

    // Whether a column sum of the tallest window, min(2r + 1, H) rows of
    // values up to 65535, fits in 32 bits. Callers refuse images where it
    // does not: the sums would wrap silently.
    static bool fits(int radius, int height)
    {
        const int64_t tallest = std::min<int64_t>(2 * int64_t{radius} + 1, height);
        return tallest * 65535 <= int64_t{UINT32_MAX};
    }

    BoxWindows(const uint16_t* plane, int width, int height, int radius, uint32_t* columnSums)
        : plane_(plane), width_(width), height_(height), radius_(radius), sums_(columnSums), slide_(windowSlider())
    {
    }

    // Column sums for row y's windows: rows y - r .. y + r.
    void startAt(int y);
    // Moves the column sums from row y's windows to row y + 1's.
    void advance(int y);

    // Row y's windows, and the window of its first pixel.
    WindowRow rowAt(int y) const
    {
        return {sums_, width_, radius_, std::min(y + radius_, height_ - 1) - std::max(y - radius_, 0) + 1};
    }
    WindowRun firstWindow(const WindowRow& row) const
    {
        const int firstColumns = std::min(radius_, width_ - 1) + 1;
        WindowRun run{0, firstColumns * row.rows};
        for (int x = 0; x < firstColumns; ++x)
            run.sum += sums_[x];
        return run;
    }

    // Visits row y's windows a chunk at a time: fn(x0, count, sum, pixels)
    // with the window sum and the number of pixels of the window of pixel
    // x0 + i at index i, whole numbers held exactly as doubles.
    template <class Fn>
    void forEachChunk(int y, Fn&& fn) const
    {
        const WindowRow row = rowAt(y);
        WindowRun run = firstWindow(row);
        double chunkSum[kChunk];
        double chunkPixels[kChunk];
        for (int x0 = 0; x0 < width_; x0 += kChunk) {
            const int count = std::min(kChunk, width_ - x0);
            slide_(row, run, x0, count, chunkSum, chunkPixels);
            fn(x0, count, chunkSum, chunkPixels);
        }
    }

private:
    const uint16_t* plane_;
    int width_;
    int height_;
    int radius_;
    uint32_t* sums_;
    WindowSlider slide_;
};

}  // namespace qv
