#include "imageio/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <random>
#include <vector>

namespace qv {
namespace {

// A packed image of three channels per pixel, rows `width * 3` samples apart
// (plus `pad` samples, so strides other than the packed one are exercised).
template <class Sample>
struct TestImage {
    int width = 0;
    int height = 0;
    int pad = 0;
    std::vector<Sample> samples;

    TestImage(int w, int h, int padding = 0) : width(w), height(h), pad(padding), samples((w * 3 + padding) * h) {}
    std::ptrdiff_t stride() const { return (width * 3 + pad) * static_cast<std::ptrdiff_t>(sizeof(Sample)); }
    Sample& at(int x, int y, int c) { return samples[y * (width * 3 + pad) + x * 3 + c]; }
    PixelRows<const Sample> in() const { return {samples.data(), width, height, stride()}; }
    PixelRows<Sample> out() { return {samples.data(), width, height, stride()}; }
};

template <class Sample>
TestImage<Sample> randomImage(int w, int h, unsigned seed)
{
    TestImage<Sample> image(w, h, 5);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, sizeof(Sample) == 1 ? 255 : 65535);
    for (auto& s : image.samples)
        s = static_cast<Sample>(value(random));
    return image;
}

// The resampler written out directly, one sample at a time, in the layout of
// the interleaved work buffer; the second pass rounds to the nearest integer.
template <class Sample>
TestImage<Sample> referenceResample(const TestImage<Sample>& source, int targetWidth, int targetHeight,
                                    ResampleKernel kernel)
{
    const float maxValue = sizeof(Sample) == 1 ? 255.0f : 65535.0f;
    const float support = kernel == ResampleKernel::Lanczos3 ? 3.0f : 1.0f;
    const auto clamp = [&](float v) { return v < 0.0f ? 0.0f : (v > maxValue ? maxValue : v); };
    // One target position from `size` source positions read by `sample(t)`.
    const auto filter = [&](int size, int targetSize, int j, auto sample) {
        const float s = static_cast<float>(targetSize) / static_cast<float>(size);
        const int r = static_cast<int>(std::ceil(support / s));
        const float x = static_cast<float>(j) / s;
        float sum = 0.0f;
        float weights = 0.0f;
        for (int t = std::max(0, static_cast<int>(x - r)); t <= std::min(size - 1, static_cast<int>(x + r)); ++t) {
            const float w = resampleKernelValue(kernel, s * std::fabs(x - static_cast<float>(t)));
            sum += w * sample(t);
            weights += w;
        }
        return clamp(sum / weights);
    };
    std::vector<float> work(static_cast<std::size_t>(targetWidth) * source.height * 3);
    TestImage<Sample> target(targetWidth, targetHeight);
    auto& src = const_cast<TestImage<Sample>&>(source);
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < source.height; ++y)
            for (int j = 0; j < targetWidth; ++j)
                work[(y * targetWidth + j) * 3 + c] =
                    filter(source.width, targetWidth, j, [&](int t) { return static_cast<float>(src.at(t, y, c)); });
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < targetWidth; ++j)
            for (int y = 0; y < targetHeight; ++y)
                target.at(j, y, c) = static_cast<Sample>(static_cast<int>(
                    filter(source.height, targetHeight, y, [&](int t) { return work[(t * targetWidth + j) * 3 + c]; }) +
                    0.5f));
    return target;
}

template <class Sample>
ResampleResult resampleInto(const TestImage<Sample>& source, TestImage<Sample>& target, ResampleKernel kernel,
                            int workers, std::atomic<int>& progress, const std::atomic<bool>& abort)
{
    std::vector<float> work(resampleWorkFloats(target.width, source.height));
    return resampleImage(source.in(), target.out(), work.data(), kernel, {abort, progress, workers});
}

template <class Sample>
TestImage<Sample> resampled(const TestImage<Sample>& source, int w, int h, ResampleKernel kernel, int workers = 1)
{
    TestImage<Sample> target(w, h, 3);
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    EXPECT_EQ(resampleInto(source, target, kernel, workers, progress, abort), ResampleResult::Done);
    EXPECT_EQ(progress, 60);
    return target;
}

template <class Sample>
void expectSameSamples(TestImage<Sample>& a, TestImage<Sample>& b)
{
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    int mismatches = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c)
                if (a.at(x, y, c) != b.at(x, y, c) && ++mismatches <= 5)
                    ADD_FAILURE() << "at (" << x << ", " << y << ") channel " << c << ": " << +a.at(x, y, c)
                                  << " vs " << +b.at(x, y, c);
    EXPECT_EQ(mismatches, 0);
}

template <class Sample>
class ResampleTyped : public ::testing::Test {};
using SampleTypes = ::testing::Types<uint8_t, uint16_t>;
TYPED_TEST_SUITE(ResampleTyped, SampleTypes);

TYPED_TEST(ResampleTyped, MatchesTheDirectAlgorithmForAnyWorkerCount)
{
    struct Case {
        int sw, sh, tw, th;
    };
    // Odd sizes, reductions in one direction only, a single target pixel, a
    // width that leaves a partial vector in every strip, and reductions with
    // a tap range longer than 2r + 1.
    const Case cases[] = {{101, 67, 37, 29}, {64, 45, 64, 17}, {53, 40, 9, 40},
                          {7, 5, 1, 1},      {300, 23, 131, 11}, {20, 26, 12, 4}};
    unsigned seed = 1;
    for (const Case& c : cases)
        for (ResampleKernel kernel : {ResampleKernel::Cubic, ResampleKernel::Lanczos3}) {
            const auto source = randomImage<TypeParam>(c.sw, c.sh, seed++);
            auto expected = referenceResample(source, c.tw, c.th, kernel);
            for (int workers : {1, 3, 20}) {
                SCOPED_TRACE(::testing::Message() << c.sw << "x" << c.sh << " -> " << c.tw << "x" << c.th
                                                  << " lanczos " << (kernel == ResampleKernel::Lanczos3)
                                                  << " workers " << workers);
                auto actual = resampled(source, c.tw, c.th, kernel, workers);
                expectSameSamples(actual, expected);
            }
        }
}

TYPED_TEST(ResampleTyped, ConstantImageStaysConstant)
{
    const int top = sizeof(TypeParam) == 1 ? 255 : 65535;
    for (int value : {0, 1, 128, top / 3, top - 1, top})
        for (ResampleKernel kernel : {ResampleKernel::Cubic, ResampleKernel::Lanczos3}) {
            SCOPED_TRACE(::testing::Message() << "value " << value << " lanczos "
                                              << (kernel == ResampleKernel::Lanczos3));
            // A moderate reduction and a strong one (hundreds of taps).
            for (auto [sw, sh, tw, th] : {std::array{203, 157, 61, 40}, std::array{1500, 90, 7, 13}}) {
                TestImage<TypeParam> source(sw, sh);
                std::fill(source.samples.begin(), source.samples.end(), static_cast<TypeParam>(value));
                auto target = resampled(source, tw, th, kernel, 3);
                TestImage<TypeParam> expected(tw, th, 3);
                std::fill(expected.samples.begin(), expected.samples.end(), static_cast<TypeParam>(value));
                expectSameSamples(target, expected);
            }
        }
}

TYPED_TEST(ResampleTyped, AbortStopsWithoutFinishing)
{
    const auto source = randomImage<TypeParam>(90, 60, 7);
    TestImage<TypeParam> target(30, 20);
    std::atomic<bool> abort{true};
    std::atomic<int> progress{0};
    EXPECT_EQ(resampleInto(source, target, ResampleKernel::Cubic, 3, progress, abort), ResampleResult::Aborted);
    EXPECT_EQ(progress, 0);
}

TYPED_TEST(ResampleTyped, RefusesEnlargingAndEmptyImages)
{
    const auto source = randomImage<TypeParam>(40, 30, 3);
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    for (auto [w, h] : {std::pair{41, 30}, std::pair{40, 31}, std::pair{0, 10}}) {
        TestImage<TypeParam> target(w, h);
        EXPECT_EQ(resampleInto(source, target, ResampleKernel::Lanczos3, 1, progress, abort),
                  ResampleResult::Rejected);
    }
    EXPECT_EQ(progress, 0);
}

TEST(ResampleKernel, CubicAndLanczosValues)
{
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Cubic, 0.0f), 1.0f);
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Cubic, 0.5f), 0.5f);
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Cubic, 1.0f), 0.0f);
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Cubic, 2.5f), 0.0f);
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Lanczos3, 0.0f), 1.0f);
    EXPECT_EQ(resampleKernelValue(ResampleKernel::Lanczos3, 3.0f), 0.0f);
    for (float d : {0.25f, 0.5f, 1.0f, 1.5f, 2.0f, 2.75f}) {
        const double pi = 3.14159265358979323846;
        const double expected = std::sin(pi * d) / (pi * d) * std::sin(pi * d / 3) / (pi * d / 3);
        EXPECT_NEAR(resampleKernelValue(ResampleKernel::Lanczos3, d), expected, 1e-6) << d;
    }
    // To the last bit: single precision throughout, with pi as a float.
    const float pi = 3.14159265358979323846f;
    const auto sinc = [&](float x) { return std::sin(pi * x) / (pi * x); };
    for (float d = 0.01f; d < 3.0f; d += 0.0137f) {
        EXPECT_EQ(resampleKernelValue(ResampleKernel::Lanczos3, d), sinc(d) * sinc(d / 3.0f)) << d;
        if (d < 1.0f) {
            EXPECT_EQ(resampleKernelValue(ResampleKernel::Cubic, d), 2.0f * d * d * d - 3.0f * d * d + 1.0f) << d;
        }
    }
}

TEST(ResampleTaps, TapRangesStayInsideTheTable)
{
    // 20 -> 12 with the cubic kernel: r = 2, and the centre of position 9,
    // 14.999999, rounds up when r is added, giving six taps instead of five.
    ResampleTaps longRange;
    ASSERT_TRUE(longRange.build(20, 12, ResampleKernel::Cubic));
    EXPECT_EQ(longRange.first(9), 12);
    EXPECT_EQ(longRange.count(9), 6);

    for (auto [from, to] : {std::pair{6000, 1280}, std::pair{4000, 853}, std::pair{3001, 7}, std::pair{997, 331},
                            std::pair{20, 12}, std::pair{26, 4}, std::pair{30, 4}})
        for (ResampleKernel kernel : {ResampleKernel::Cubic, ResampleKernel::Lanczos3}) {
            ResampleTaps taps;
            ASSERT_TRUE(taps.build(from, to, kernel));
            for (int j = 0; j < to; ++j) {
                ASSERT_GE(taps.first(j), 0);
                ASSERT_GE(taps.count(j), 1);
                ASSERT_LE(taps.first(j) + taps.count(j), from);
                ASSERT_GT(taps.weightSum(j), 0.0f);
            }
        }
}

}  // namespace
}  // namespace qv
