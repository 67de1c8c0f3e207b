#include "engine/kernels/gaussian_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/kernels/simd.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"

namespace qv {
namespace {

using test::Plane;
using Weights = std::vector<uint32_t>;

const Weights kSevenTaps{1, 12, 55, 90, 55, 12, 1};

GaussianKernel kernelOf(float sigma)
{
    std::optional<GaussianKernel> kernel = makeGaussianKernel(sigma);
    EXPECT_TRUE(kernel.has_value()) << sigma;
    return kernel.value_or(GaussianKernel{});
}

GaussianKernel kernelOf(Weights weights)
{
    std::optional<GaussianKernel> kernel = kernelFromWeights(std::move(weights));
    EXPECT_TRUE(kernel.has_value());
    return kernel.value_or(GaussianKernel{});
}

Plane blurred(const Plane& line, const GaussianKernel& kernel)
{
    BlurScratch scratch;
    Plane out(line.size(), 0xDEAD);
    blurLine(line.data(), out.data(), static_cast<int>(line.size()), kernel, scratch);
    return out;
}

TEST(GaussianKernel, SpreadOneGivesTheSevenTapKernel)
{
    const GaussianKernel kernel = kernelOf(1.0f);
    EXPECT_EQ(kernel.weights, kSevenTaps);
    EXPECT_EQ(kernel.sum, 226u);
    EXPECT_EQ(kernel.half(), 3);
}

TEST(GaussianKernel, SharpeningSpreadsAreTakenInSinglePrecision)
{
    // sigma = SharpnessRadius / 10 as a float.
    const GaussianKernel r4 = kernelOf(4 / 10.0f);
    EXPECT_EQ(r4.weights, (Weights{1, 23, 1}));
    EXPECT_EQ(r4.sum, 25u);
    const GaussianKernel r7 = kernelOf(7 / 10.0f);
    EXPECT_EQ(r7.weights, (Weights{1, 21, 59, 21, 1}));
    EXPECT_EQ(r7.sum, 103u);
    const GaussianKernel r40 = kernelOf(40 / 10.0f);
    EXPECT_EQ(r40.weights, (Weights{1, 2, 3, 5, 7, 10, 14, 17, 20, 22, 23, 22, 20, 17, 14, 10, 7, 5, 3, 2, 1}));
    EXPECT_EQ(r40.sum, 225u);
    // 5 * 0.9f is 4.5 in single precision (4.4999... in double): 7 taps, not 5.
    EXPECT_EQ(kernelOf(9 / 10.0f).size(), 7);
}

TEST(GaussianKernel, WideKernelsRunFromOneToAboutTwentyThree)
{
    struct Case {
        float sigma;
        int size;
        uint32_t centre;
    };
    // Region detection of 1600 x 1200 with DetectSH 1 and 5, softening at 3000 pixels.
    for (const Case& c : {Case{8, 41, 23}, Case{40, 201, 23}, Case{60, 301, 23}}) {
        const GaussianKernel kernel = kernelOf(c.sigma);
        EXPECT_EQ(kernel.size(), c.size) << c.sigma;
        EXPECT_EQ(kernel.weights[kernel.half()], c.centre) << c.sigma;
        EXPECT_EQ(kernel.weights.front(), 1u) << c.sigma;
        EXPECT_EQ(kernel.weights.back(), 1u) << c.sigma;
    }
}

// The kernel by its definition, every step in single precision: size
// floor(5 sigma + 1.5) made odd, s2 = 2 sigma^2, peak e^(h^2 / s2), taps
// floor(e^(-i^2 / s2) * peak + 0.5). Double precision anywhere changes some
// of the kernels below (SharpnessRadius 9, 13, 21 and 33 among them).
Weights literalKernel(float sigma)
{
    const int n = static_cast<int>(std::floor(5.0f * sigma + 1.5f)) | 1;
    const int h = n / 2;
    const float s2 = 2.0f * sigma * sigma;
    const float peak = std::exp(static_cast<float>(h * h) / s2);
    Weights w(n);
    for (int i = 0; i <= h; ++i) {
        const float tap = i == 0 ? peak : std::exp(-static_cast<float>(i * i) / s2) * peak;
        w[h - i] = w[h + i] = static_cast<uint32_t>(std::floor(tap + 0.5f));
    }
    return w;
}

TEST(GaussianKernel, MatchesItsDefinitionForEverySpreadInUse)
{
    for (int radius = 4; radius <= 40; ++radius)
        ASSERT_EQ(kernelOf(static_cast<float>(radius) / 10.0f).weights, literalKernel(radius / 10.0f)) << radius;
    for (int sigma = 1; sigma <= 1200; ++sigma)
        ASSERT_EQ(kernelOf(static_cast<float>(sigma)).weights, literalKernel(static_cast<float>(sigma))) << sigma;
}

TEST(GaussianKernel, RejectsUnusableInput)
{
    for (float sigma :
         {0.0f, -1.0f, 0.1f, 1e9f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        EXPECT_FALSE(makeGaussianKernel(sigma).has_value()) << sigma;
    EXPECT_FALSE(kernelFromWeights({}).has_value());
    EXPECT_FALSE(kernelFromWeights({1, 2}).has_value());
    EXPECT_FALSE(kernelFromWeights({1, 2, 3}).has_value());
    EXPECT_FALSE(kernelFromWeights({1, 0, 1}).has_value());
    EXPECT_TRUE(kernelFromWeights({0, 5, 0}).has_value());
}

TEST(BlurLine, AnImpulseReproducesTheKernel)
{
    Plane line(30, 0);
    line[10] = 226;
    Plane expected(30, 0);
    std::copy(kSevenTaps.begin(), kSevenTaps.end(), expected.begin() + 7);
    EXPECT_EQ(blurred(line, kernelOf(1.0f)), expected);
}

TEST(BlurLine, BorderWindowsAreNormalisedByTheWeightsTheyUse)
{
    const Plane v = test::randomPlane(20, 7);
    const Plane out = blurred(v, kernelOf(1.0f));
    const auto at = [&](int i) { return uint64_t(v[i]); };
    EXPECT_EQ(out[0], (90 * at(0) + 55 * at(1) + 12 * at(2) + at(3)) / 158);
    EXPECT_EQ(out[1], (55 * at(0) + 90 * at(1) + 55 * at(2) + 12 * at(3) + at(4)) / 213);
    EXPECT_EQ(out[19], (90 * at(19) + 55 * at(18) + 12 * at(17) + at(16)) / 158);
    EXPECT_EQ(out[10], (at(7) + 12 * at(8) + 55 * at(9) + 90 * at(10) + 55 * at(11) + 12 * at(12) + at(13)) / 226);
}

TEST(BlurLine, ConstantLinesStayConstantAtEveryLength)
{
    for (float sigma : {1.0f, 8.0f})
        for (uint16_t value : {uint16_t(1), uint16_t(12345), uint16_t(65535)})
            for (int length = 1; length <= 90; ++length) {
                const Plane line(length, value);
                EXPECT_EQ(blurred(line, kernelOf(sigma)), line) << sigma << " " << value << " " << length;
            }
}

// Lines shorter than the kernel keep it centred on each position.
TEST(BlurLine, MatchesTheDefinitionOnBothPaths)
{
    const std::vector<Weights> kernels{
        kSevenTaps,
        kernelOf(0.7f).weights,
        kernelOf(8.0f).weights,
        kernelOf(40.0f).weights,
        {16384, 32768, 16384},  // largest sum of the 32-bit sums
        {1, 700000, 1900000, 700000, 1},  // sums past 2^32: 64-bit sums
        {3, 0, 7, 9, 7, 0, 3},  // not a Gaussian: growing and zero taps
    };
    for (bool simd : {false, true}) {
        test::SimdSwitch path(simd);
        for (const Weights& weights : kernels) {
            const GaussianKernel kernel = kernelOf(weights);
            for (int length : {1, 2, 3, 6, 7, 8, 15, 16, 17, 31, 33, 40, 81, 100, 257, 500}) {
                for (uint32_t limit : {256u, 65536u}) {
                    const Plane line = test::randomPlane(length, length * 31 + limit, limit);
                    ASSERT_EQ(blurred(line, kernel), test::referenceBlurLine(line, weights))
                        << "simd " << simd << " taps " << weights.size() << " length " << length;
                }
            }
            const Plane white(300, 65535);
            EXPECT_EQ(blurred(white, kernel), white);
        }
    }
}

TEST(BlurColumns, MatchesTheDefinitionOnBothPaths)
{
    constexpr std::size_t inStride = 37;
    constexpr std::size_t outStride = 21;
    for (bool simd : {false, true}) {
        test::SimdSwitch path(simd);
        for (const Weights& weights : {kSevenTaps, kernelOf(8.0f).weights, Weights{1, 700000, 1900000, 700000, 1}}) {
            const GaussianKernel kernel = kernelOf(weights);
            BlurScratch scratch;
            for (int height : {1, 4, 7, 40, 301}) {
                const Plane in = test::randomPlane(inStride * height, height);
                for (int columns = 1; columns <= kColumnBlock; ++columns) {
                    Plane out(outStride * height, 0xDEAD);
                    blurColumns(in.data() + 3, inStride, out.data() + 2, outStride, height, columns, kernel, scratch);
                    for (int c = 0; c < columns; ++c) {
                        Plane column(height);
                        Plane result(height);
                        for (int y = 0; y < height; ++y) {
                            column[y] = in[y * inStride + 3 + c];
                            result[y] = out[y * outStride + 2 + c];
                        }
                        ASSERT_EQ(result, test::referenceBlurLine(column, weights))
                            << "simd " << simd << " height " << height << " column " << c << " of " << columns;
                    }
                    EXPECT_EQ(out[1], 0xDEAD);
                    EXPECT_EQ(out[2 + columns], 0xDEAD);
                }
            }
        }
    }
}

TEST(Simd, CanBeSwitchedOff)
{
    {
        test::SimdSwitch off(false);
        EXPECT_FALSE(avx2Enabled());
        EXPECT_FALSE(avx512Enabled());
    }
#ifdef QV_X86_SIMD
    if (!__builtin_cpu_supports("avx2"))
        GTEST_SKIP() << "no AVX2 here: only the plain loops were compared";
    {
        test::SimdSwitch narrower(SimdLevel::Avx2);
        EXPECT_TRUE(avx2Enabled());
        EXPECT_FALSE(avx512Enabled());
    }
    EXPECT_TRUE(avx2Enabled());
    EXPECT_EQ(avx512Enabled(), __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"));
#else
    EXPECT_FALSE(avx2Enabled()) << "a build without the x86 loops has no AVX2 path";
#endif
}

}  // namespace
}  // namespace qv
