#pragma once

#include <algorithm>
#include <cstdint>

namespace qv {

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
        : plane_(plane), width_(width), height_(height), radius_(radius), sums_(columnSums)
    {
    }

    // Column sums for row y's windows: rows y - r .. y + r.
    void startAt(int y);
    // Moves the column sums from row y's windows to row y + 1's.
    void advance(int y);

    // Visits row y's windows a chunk at a time: fn(x0, count, sum, pixels)
    // with the window sum and the number of pixels of the window of pixel
    // x0 + i at index i, whole numbers held exactly as doubles.
    template <class Fn>
    void forEachChunk(int y, Fn&& fn) const
    {
        const int r = radius_;
        const int w = width_;
        const int64_t rows = std::min(y + r, height_ - 1) - std::max(y - r, 0) + 1;
        const int firstColumns = std::min(r, w - 1) + 1;
        int64_t sum = 0;
        for (int x = 0; x < firstColumns; ++x)
            sum += sums_[x];
        int64_t pixels = firstColumns * rows;
        double chunkSum[kChunk];
        double chunkPixels[kChunk];
        for (int x0 = 0; x0 < w; x0 += kChunk) {
            const int count = std::min(kChunk, w - x0);
            for (int i = 0; i < count; ++i) {
                const int x = x0 + i;
                chunkSum[i] = static_cast<double>(sum);
                chunkPixels[i] = static_cast<double>(pixels);
                if (x - r >= 0) {
                    sum -= sums_[x - r];
                    pixels -= rows;
                }
                if (x + r + 1 < w) {
                    sum += sums_[x + r + 1];
                    pixels += rows;
                }
            }
            fn(x0, count, chunkSum, chunkPixels);
        }
    }

private:
    const uint16_t* plane_;
    int width_;
    int height_;
    int radius_;
    uint32_t* sums_;
};

}  // namespace qv
