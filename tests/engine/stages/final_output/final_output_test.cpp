#include "engine/stages/final_output/final_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <vector>

#include "engine/stages/final_output/output_gamma.h"
#include "support/reference_blur.h"
#include "support/stage_image.h"

namespace qv {
namespace {

// Luma and chroma zero unless randomised.
struct OutputFixture : test::StageImage {
    OutputFixture(int w, int h) : StageImage(w, h)
    {
        std::fill(luma.begin(), luma.end(), 0);
        std::fill(chroma.begin(), chroma.end(), 0);
    }
    void randomise(unsigned seed)
    {
        luma = test::randomPlane(luma.size(), seed);
        const test::Plane c = test::randomPlane(chroma.size(), seed + 1);
        std::transform(c.begin(), c.end(), chroma.begin(), [](uint16_t v) { return static_cast<int16_t>(v); });
    }
    bool run() { return renderOutput(ctx, state, luma.data(), chroma.data(), *state.output); }

    int width() const { return state.width; }
    // Result buffer channel c (0 red, 1 green, 2 blue) of pixel i.
    uint16_t result(std::size_t i, int c) { return state.resultBuffer()[3 * i + c]; }
    // Output bitmap byte c (0 blue, 1 green, 2 red) of pixel i.
    uint8_t byte(std::size_t i, int c) { return state.output->row(int(i / width()))[3 * (i % width()) + c]; }
};

uint16_t clampedChannel(float v)
{
    const int i = static_cast<int>(v);
    return static_cast<uint16_t>(std::clamp(i, 0, 65535));
}

TEST(OutputGamma, ExponentsBySetting)
{
    const double expected[] = {2.5, 2.0, 1.6667, 1.4286, 1.25, 1.1111, 1.0,
                               0.9091, 0.8333, 0.7692, 0.7143, 0.6667, 0.625, 0.5882};
    for (int g = 0; g <= 13; ++g)
        EXPECT_NEAR(outputGammaExponent(g), expected[g], 5e-5) << g;
    EXPECT_EQ(outputGammaExponent(6), 1.0f);
}

// Every luma value through the stage for every setting, against the power
// formula evaluated pixel by pixel in single precision.
TEST(FinalOutput, GammaMatchesThePowerFormulaForEveryLumaValue)
{
    OutputFixture f(256, 256);
    for (int i = 0; i < 65536; ++i)
        f.luma[i] = static_cast<uint16_t>(i);
    for (int g = 0; g <= 13; ++g) {
        f.ctx.current.Gamma = static_cast<uint16_t>(g);
        ASSERT_TRUE(f.run());
        const float e = 1.0f / (static_cast<float>(g) * 0.1f + 0.4f);
        for (int i = 0; i < 65536; ++i) {
            const float y = g == 6 ? static_cast<float>(i)
                                   : 65535.0f * std::pow(static_cast<float>(i) / 65535.0f, e);
            const uint16_t expected = clampedChannel(y);
            ASSERT_EQ(f.result(i, 0), expected) << "gamma " << g << " luma " << i;
            ASSERT_EQ(f.result(i, 1), expected);
            ASSERT_EQ(f.result(i, 2), expected);
            ASSERT_EQ(f.byte(i, 0), expected >> 8);
        }
        EXPECT_EQ(f.result(0, 0), 0);
        EXPECT_EQ(f.result(65535, 0), 65535);
    }
}

TEST(FinalOutput, ConvertsChromaWithTheInverseTransform)
{
    OutputFixture f(311, 170);
    f.randomise(11);
    f.ctx.current.Saturation = 17;
    f.ctx.current.Gamma = 3;
    ASSERT_TRUE(f.run());
    const float e = 1.0f / (3 * 0.1f + 0.4f);
    const float s = 17 / 10.0f;
    for (std::size_t i = 0; i < f.luma.size(); ++i) {
        const float y = 65535.0f * std::pow(f.luma[i] / 65535.0f, e);
        const float v = s * f.chroma[2 * i + 1] * 1.23f;
        const float u = s * f.chroma[2 * i] * 0.872f;
        ASSERT_EQ(f.result(i, 0), clampedChannel(y + 1.1398374f * v));
        ASSERT_EQ(f.result(i, 1), clampedChannel(y - 0.3946517f * u - 0.5805986f * v));
        ASSERT_EQ(f.result(i, 2), clampedChannel(y + 2.03211f * u));
        ASSERT_EQ(f.byte(i, 0), f.result(i, 2) >> 8);
        ASSERT_EQ(f.byte(i, 1), f.result(i, 1) >> 8);
        ASSERT_EQ(f.byte(i, 2), f.result(i, 0) >> 8);
    }
}

TEST(FinalOutput, ClampsInsteadOfWrapping)
{
    OutputFixture f(4, 1);
    f.luma = {65535, 0, 65535, 0};
    f.chroma = {32767, 0, -32768, 0, 0, 32767, 0, 32767};
    f.ctx.current.Saturation = 30;
    ASSERT_TRUE(f.run());
    EXPECT_EQ(f.result(0, 2), 65535);  // strongly positive U: blue saturates
    EXPECT_EQ(f.byte(0, 0), 255);
    EXPECT_EQ(f.result(1, 2), 0);      // negative: blue stays at 0
    EXPECT_EQ(f.result(2, 0), 65535);  // positive V: red saturates
    EXPECT_EQ(f.result(3, 1), 0);      // green below zero
    EXPECT_EQ(f.byte(3, 1), 0);
}

TEST(FinalOutput, BlackAndWhiteModeAndZeroSaturationGiveGrey)
{
    for (int mode : {8, 0}) {
        OutputFixture f(23, 9);
        f.randomise(3);
        f.ctx.current.Mode = static_cast<uint16_t>(mode);
        f.ctx.current.Saturation = mode == 8 ? 25 : 0;
        f.ctx.current.Gamma = 9;
        ASSERT_TRUE(f.run());
        const float* gamma = outputGammaTable(9);
        for (std::size_t i = 0; i < f.luma.size(); ++i) {
            ASSERT_EQ(f.result(i, 0), clampedChannel(gamma[f.luma[i]])) << mode;
            ASSERT_EQ(f.result(i, 1), f.result(i, 0));
            ASSERT_EQ(f.result(i, 2), f.result(i, 0));
        }
    }
}

TEST(FinalOutput, NeutralSettingsKeepLumaAndChroma)
{
    OutputFixture f(3, 1);
    f.luma = {40000, 12345, 65535};
    ASSERT_TRUE(f.run());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(f.result(0, c), 40000);
        EXPECT_EQ(f.result(1, c), 12345);
        EXPECT_EQ(f.result(2, c), 65535);
        EXPECT_EQ(f.byte(0, c), 156);
    }
}

TEST(FinalOutput, BlackImageHistogramsPeakAtOneHundred)
{
    OutputFixture f(37, 29);
    ASSERT_TRUE(f.run());
    const Histograms& h = f.state.histograms;
    const uint32_t pixels = 37 * 29;
    EXPECT_EQ(h.red[0], 100u);
    EXPECT_EQ(h.green[0], 100u);
    EXPECT_EQ(h.blue[0], 100u);
    EXPECT_EQ(h.combined[0], 3 * pixels);
    EXPECT_EQ(h.redCount, pixels);
    EXPECT_EQ(h.combinedCount, 3 * pixels);
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ(h.red[i] + h.green[i] + h.blue[i] + h.combined[i], 0u) << i;
}

TEST(FinalOutput, HistogramsCountEveryPixelExactly)
{
    OutputFixture f(97, 61);
    f.randomise(5);
    f.ctx.workerCount = 20;
    ASSERT_TRUE(f.run());

    std::array<uint32_t, 256> red{}, green{}, blue{}, combined{};
    for (std::size_t i = 0; i < f.luma.size(); ++i) {
        ++blue[f.byte(i, 0)];
        ++green[f.byte(i, 1)];
        ++red[f.byte(i, 2)];
    }
    uint32_t fullest = 0;
    for (int i = 0; i < 256; ++i) {
        combined[i] = red[i] + green[i] + blue[i];
        fullest = std::max(fullest, combined[i]);
    }
    const float scale = static_cast<float>(fullest / 100.0 / 3.0);
    const Histograms& h = f.state.histograms;
    EXPECT_EQ(h.combined, combined);
    EXPECT_EQ(h.combinedCount, 3 * f.luma.size());
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(h.red[i], static_cast<uint32_t>(red[i] / scale)) << i;
        ASSERT_EQ(h.green[i], static_cast<uint32_t>(green[i] / scale)) << i;
        ASSERT_EQ(h.blue[i], static_cast<uint32_t>(blue[i] / scale)) << i;
    }
}

TEST(FinalOutput, RejectsMismatchedBitmaps)
{
    OutputFixture f(10, 12);
    auto wrongSize = Bitmap::create(10, 11, PixelFormat::Bgr24);
    EXPECT_FALSE(renderOutput(f.ctx, f.state, f.luma.data(), f.chroma.data(), *wrongSize));
    auto wrongDepth = Bitmap::create(10, 12, PixelFormat::Bgr48);
    EXPECT_FALSE(renderOutput(f.ctx, f.state, f.luma.data(), f.chroma.data(), *wrongDepth));
    EXPECT_TRUE(f.run());
}

TEST(FinalOutput, AbortFailsAndLeavesTheHistogramsAsCounted)
{
    OutputFixture f(16, 40);
    ASSERT_TRUE(f.run());
    f.state.abort = true;
    EXPECT_FALSE(f.run());
    const Histograms& h = f.state.histograms;
    EXPECT_EQ(h.red[0], h.redCount);
    EXPECT_LT(h.redCount, 16u * 40);
    EXPECT_EQ(h.combinedCount, 0u);
}

}  // namespace
}  // namespace qv
