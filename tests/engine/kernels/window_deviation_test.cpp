#include "engine/kernels/window_deviation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace qv {
namespace {

// The vector deviations against the plain ones, for both divisors and both
// outputs, on windows from a single pixel to the largest a 2^28-pixel image
// can have, with luminance at the extremes (deviations beyond both ends of
// 0..65535) and odd row lengths.
TEST(WindowDeviation, VectorLoopMatchesThePlainOne)
{
    std::mt19937 rng(7);
    for (const double largest : {9.0, 1e4, 3.5e7}) {
        for (const int n : {1, 7, 8, 64, 61}) {
            std::vector<uint16_t> luma(n);
            std::vector<double> sum(n), pixels(n);
            for (int i = 0; i < n; ++i) {
                luma[i] = std::array<uint16_t, 4>{0, 65535, 32768, uint16_t(rng())}[rng() % 4];
                pixels[i] = std::floor(1 + std::uniform_real_distribution<double>(0, largest)(rng));
                // A window of one pixel is the pixel itself.
                sum[i] = pixels[i] == 1 ? luma[i]
                                        : std::floor(std::uniform_real_distribution<double>(0, 65535)(rng) * pixels[i]);
            }
            std::vector<uint16_t> start(n);
            for (uint16_t& m : start)
                m = uint16_t(rng());
            const DeviationRow row{luma.data(), sum.data(), pixels.data(), n};
            for (auto divisor : {DeviationDivisor::OtherPixels, DeviationDivisor::QuarterWindow})
                for (auto output : {DeviationOutput::Store, DeviationOutput::Raise}) {
                    std::vector<uint16_t> fast = start, plain = start;
                    deviationWriter()(row, divisor, output, 32768, fast.data());
                    writeDeviationsPlain(row, divisor, output, 32768, plain.data());
                    EXPECT_EQ(fast, plain) << largest << " " << n;
                }
        }
    }
}

// Both paths against signed 64-bit integer division, which truncates toward
// zero: numerators on, just inside and just beyond multiples of the divisor,
// of both signs, for windows from one pixel up to a whole 2^28-pixel image.
// Only consistent windows: the sum holds the pixel itself and N - 1 others
// of 0..65535.
TEST(WindowDeviation, TruncatesLikeIntegerDivisionAtQuotientEdges)
{
    for (auto divisorKind : {DeviationDivisor::OtherPixels, DeviationDivisor::QuarterWindow}) {
        std::vector<uint16_t> luma;
        std::vector<double> sum, pixels;
        std::vector<uint16_t> expected;
        for (const int64_t n : {int64_t{1}, int64_t{2}, int64_t{4}, int64_t{5}, int64_t{6}, int64_t{9}, int64_t{25},
                                int64_t{441}, int64_t{1} << 20, (int64_t{1} << 28) - 1, int64_t{1} << 28}) {
            const int64_t divisor =
                std::max<int64_t>(divisorKind == DeviationDivisor::OtherPixels ? n - 1 : (n - 1) / 4, 1);
            for (const int64_t v : {0, 1, 32767, 65535}) {
                const int64_t lowest = n * v - (v + (n - 1) * 65535);  // numerator when the others are white
                const int64_t highest = n * v - v;                      // ... when they are black
                for (const int64_t q : {-7 * 65535, -65535, -32769, -32768, -2, -1, 0, 1, 2, 32767, 32768, 65535})
                    for (const int64_t off : {-divisor + 1, int64_t{-1}, int64_t{0}, int64_t{1}, divisor - 1}) {
                        const int64_t numerator = q * divisor + off;
                        if (numerator < lowest || numerator > highest)
                            continue;
                        luma.push_back(uint16_t(v));
                        pixels.push_back(double(n));
                        sum.push_back(double(n * v - numerator));
                        expected.push_back(uint16_t(std::clamp<int64_t>(numerator / divisor + 32768, 0, 65535)));
                    }
            }
        }
        const DeviationRow row{luma.data(), sum.data(), pixels.data(), int(luma.size())};
        std::vector<uint16_t> fast(luma.size()), plain(luma.size());
        deviationWriter()(row, divisorKind, DeviationOutput::Store, 32768, fast.data());
        writeDeviationsPlain(row, divisorKind, DeviationOutput::Store, 32768, plain.data());
        EXPECT_EQ(fast, expected);
        EXPECT_EQ(plain, expected);
    }
}

}  // namespace
}  // namespace qv
