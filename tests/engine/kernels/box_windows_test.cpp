#include "engine/kernels/box_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/simd_switch.h"

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
// inside the borders; short columns, and columns up to the 32-bit limit,
// whose top bit the vector loop has to read as a value and not a sign.
TEST(BoxWindows, SlideMatchesDirectSumsOnBothPaths)
{
    std::mt19937 rng(3);
    for (const int w : {1, 2, 5, 9, 31, 64, 133})
        for (const int radius : {1, 2, 3, 7, 30, 64, 200})
            for (const uint32_t top : {65535u * 3, UINT32_MAX}) {
                std::vector<uint32_t> columns(w);
                for (uint32_t& c : columns)
                    c = std::uniform_int_distribution<uint32_t>(0, top)(rng);
                // As many rows as such column sums can hold: the vector loop
                // takes differences in 32 bits only for shorter columns.
                const int64_t rows = top == UINT32_MAX ? 65537 : 3;
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

// The row writer against integer arithmetic on direct window sums, for both
// divisors and outputs, on both paths: rows of windows clipped on one side,
// on both, or not at all, and luminance at its extremes.
TEST(BoxWindows, RowDeviationsMatchIntegerArithmeticOnBothPaths)
{
    std::mt19937 rng(9);
    for (const int w : {1, 6, 37, 150})
        for (const int radius : {1, 3, 20, 80}) {
            const int h = 2 * radius + 3;
            std::vector<uint16_t> plane(std::size_t(w) * h);
            for (uint16_t& v : plane)
                v = rng() % 4 == 0 ? uint16_t(rng() % 2 * 65535) : uint16_t(rng());
            std::vector<uint32_t> columns(w);
            BoxWindows windows(plane.data(), w, h, radius, columns.data());
            const int y = radius - 1;  // windows clipped at the top but not at the bottom
            windows.startAt(y);
            const WindowRow row = windows.rowAt(y);
            const uint16_t* luma = plane.data() + std::size_t(y) * w;
            std::vector<uint16_t> before(w);
            for (uint16_t& v : before)
                v = uint16_t(rng());
            for (auto divisor : {DeviationDivisor::OtherPixels, DeviationDivisor::QuarterWindow})
                for (auto output : {DeviationOutput::Store, DeviationOutput::Raise}) {
                    std::vector<uint16_t> expected(w);
                    for (int x = 0; x < w; ++x) {
                        int64_t sum = 0, n = 0;
                        for (int yy = std::max(y - radius, 0); yy <= std::min(y + radius, h - 1); ++yy)
                            for (int xx = std::max(x - radius, 0); xx <= std::min(x + radius, w - 1); ++xx, ++n)
                                sum += plane[std::size_t(yy) * w + xx];
                        const int64_t d = std::max<int64_t>(
                            divisor == DeviationDivisor::OtherPixels ? n - 1 : (n - 1) / 4, 1);
                        const auto q = uint16_t(std::clamp<int64_t>((n * luma[x] - sum) / d + 32768, 0, 65535));
                        expected[x] = output == DeviationOutput::Raise ? std::max(before[x], q) : q;
                    }
                    for (const bool vectors : {false, true}) {
                        std::vector<uint16_t> out = before;
                        test::pickedWith(vectors, rowDeviationWriter)(row, windows.firstWindow(row), luma, divisor,
                                                                     output, 32768, out.data());
                        EXPECT_EQ(out, expected) << "w " << w << " r " << radius << " vectors " << vectors;
                    }
                }
        }
}

}  // namespace
}  // namespace qv
