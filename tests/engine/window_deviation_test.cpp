#include "engine/window_deviation.h"

#include <gtest/gtest.h>

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
                    writeDeviations(row, divisor, output, 32768, fast.data());
                    writeDeviationsPlain(row, divisor, output, 32768, plain.data());
                    EXPECT_EQ(fast, plain) << largest << " " << n;
                }
        }
    }
}

}  // namespace
}  // namespace qv
