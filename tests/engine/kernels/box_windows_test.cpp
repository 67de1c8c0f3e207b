#include "engine/kernels/box_windows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/reference_blur.h"

namespace qv {
namespace {

// A column sum holds min(2r + 1, H) rows of values up to 65535; 65537 of
// them are the most that fit in 32 bits.
TEST(BoxWindows, FitOnlyWhileTheTallestColumnSumFitsIn32Bits)
{
    EXPECT_TRUE(BoxWindows::fits(32768, 65537));
    EXPECT_TRUE(BoxWindows::fits(32768, 1000000));  // 65537 rows
    EXPECT_FALSE(BoxWindows::fits(32769, 65538));
    EXPECT_TRUE(BoxWindows::fits(32769, 65537));    // clipped to the image
    EXPECT_TRUE(BoxWindows::fits(1000000, 65537));
    EXPECT_FALSE(BoxWindows::fits(1000000, 65538));
}

// The windows of every pixel of a row, slid chunk by chunk by `slide`.
std::vector<double> slidRow(WindowSlider slide, const std::vector<uint32_t>& columns, int radius, int64_t rows,
                            int chunk)
{
    const int w = static_cast<int>(columns.size());
    const WindowRow row{columns.data(), w, radius, rows};
    const int firstColumns = std::min(radius, w - 1) + 1;
    WindowRun run{0, firstColumns * rows};
    for (int x = 0; x < firstColumns; ++x)
        run.sum += columns[x];
    std::vector<double> sums(w), pixels(w);
    for (int x0 = 0; x0 < w; x0 += chunk) {
        const int count = std::min(chunk, w - x0);
        slide(row, run, x0, count, sums.data() + x0, pixels.data() + x0);
    }
    sums.insert(sums.end(), pixels.begin(), pixels.end());
    return sums;
}

// The vector slide against direct sums over each window, for radii that
// leave an interior, cover the whole row or more, and chunks that end
// inside the borders; column sums up to the 32-bit limit, whose top bit the
// vector loop has to read as a value and not a sign.
TEST(BoxWindows, SlideMatchesDirectSumsOnBothPaths)
{
    std::mt19937 rng(3);
    for (const int w : {1, 2, 5, 9, 31, 64, 133})
        for (const int radius : {1, 2, 3, 7, 30, 64, 200})
            for (const uint32_t top : {65535u * 3, UINT32_MAX}) {
                std::vector<uint32_t> columns(w);
                for (uint32_t& c : columns)
                    c = std::uniform_int_distribution<uint32_t>(top - top / 3, top)(rng);
                const int64_t rows = 2 * radius + 1;
                std::vector<double> direct(2 * w);
                for (int x = 0; x < w; ++x) {
                    const int first = std::max(x - radius, 0), last = std::min(x + radius, w - 1);
                    for (int c = first; c <= last; ++c)
                        direct[x] += columns[c];
                    direct[w + x] = double((last - first + 1) * rows);
                }
                for (const int chunk : {3, 64})
                    for (const bool vectors : {false, true}) {
                        const WindowSlider slide = test::pickedWith(vectors, windowSlider);
                        EXPECT_EQ(slidRow(slide, columns, radius, rows, chunk), direct)
                            << "w " << w << " r " << radius << " chunk " << chunk << " vectors " << vectors;
                    }
            }
}

}  // namespace
}  // namespace qv
