#include "engine/stages/merging/merging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/kernels/hsl.h"
#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/stage_image.h"
#include "text/status_codes.h"

namespace qv {
namespace {

// A prepared image with random source, area and processed planes.
struct MergeFixture : test::StageImage {
    std::vector<uint16_t> area;
    std::vector<uint16_t> processed;

    MergeFixture(int w, int h, unsigned seed = 1) : StageImage(w, h)
    {
        const std::size_t n = state.pixelCount();
        area.resize(n);
        processed.resize(n);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> u16(0, 65535);
        std::uniform_int_distribution<int> s16(-32768, 32767);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 3 * w; ++x)
                state.working->row16(y)[x] = static_cast<uint16_t>(u16(rng));
        for (std::size_t i = 0; i < n; ++i) {
            state.luminancePlane()[i] = static_cast<uint16_t>(u16(rng));
            state.sourceChromaPlane()[2 * i] = static_cast<int16_t>(s16(rng));
            state.sourceChromaPlane()[2 * i + 1] = static_cast<int16_t>(s16(rng));
            area[i] = static_cast<uint16_t>(u16(rng));
            processed[i] = static_cast<uint16_t>(u16(rng));
        }
    }

    bool run()
    {
        const MergeInputs in{state.luminancePlane(), area.data(), processed.data(), state.sourceChromaPlane(),
                             *state.working};
        return runMergingStage(ctx, state, in);
    }
    std::size_t n() const { return state.pixelCount(); }
    uint16_t luma(std::size_t i) { return mergedLuma(state)[i]; }
    int16_t chroma(std::size_t i) { return mergedChroma(state)[i]; }
    void setAll(std::vector<uint16_t>& plane, uint16_t v) { plane.assign(n(), v); }
};

TEST(MergeWeights, GrayPointShiftsTheAreaBoundary)
{
    EXPECT_EQ(grayPointOffset(50, 65536), 0);
    EXPECT_EQ(grayPointOffset(40, 65536), -6400);
    EXPECT_EQ(grayPointOffset(60, 65536), 6400);
    EXPECT_EQ(grayPointOffset(0, 65536), -32768);
    EXPECT_EQ(grayPointOffset(100, 65536), 32768);
}

TEST(MergeWeights, DarkAndBrightOpacitiesMeetAtMidGrey)
{
    ToneSettings s;
    s.Opacity = 100;
    s.Opacity2 = 100;
    const MergeParams full = *MergeParams::from(s, 65536);
    EXPECT_EQ(areaWeight(full, 0), 100);
    EXPECT_EQ(areaWeight(full, 65535), 100);
    EXPECT_EQ(areaWeight(full, 32768), 100);

    // At mid-grey each side alone gives half by integer arithmetic.
    s.Opacity2 = 0;
    EXPECT_EQ(areaWeight(*MergeParams::from(s, 65536), 32768), 50);
    EXPECT_EQ(areaWeight(*MergeParams::from(s, 65536), 0), 100);
    EXPECT_EQ(areaWeight(*MergeParams::from(s, 65536), 65535), 0);
    s.Opacity = 0;
    s.Opacity2 = 100;
    EXPECT_EQ(areaWeight(*MergeParams::from(s, 65536), 32768), 50);
    EXPECT_EQ(areaWeight(*MergeParams::from(s, 65536), 0), 0);

    // Different opacities: dark areas take Opacity, bright ones Opacity2, and
    // the sum is capped at the larger one.
    s.Opacity = 30;
    s.Opacity2 = 80;
    const MergeParams mixed = *MergeParams::from(s, 65536);
    EXPECT_EQ(areaWeight(mixed, 0), 30);
    EXPECT_EQ(areaWeight(mixed, 65535), 80);
    for (int a = 0; a < 65536; a += 97)
        EXPECT_LE(areaWeight(mixed, a), 80);

    // A lower grey point counts more of the range as bright.
    s.Opacity = 0;
    s.Opacity2 = 100;
    s.GrayPoint = 40;
    EXPECT_GT(areaWeight(*MergeParams::from(s, 65536), 32768), 50);
}

// The weight of the processed pixel by its definition, in signed integers
// with V = 65536.
int literalWeight(int opacity, int opacity2, int grayPoint, int a)
{
    const int V = 65536;
    const int g = V * (((grayPoint - 50) * 256) / 100) / 256;
    const int wD = std::clamp(opacity * ((g + V - a - 1) * 2 - V * 160 / 256) / (V * 190 / 256), 0, opacity);
    const int wB = std::clamp(((a - g) * 2 - V * 160 / 256) * opacity2 / (V * 190 / 256), 0, opacity2);
    return std::min(wD + wB, std::max(opacity, opacity2));
}

TEST(MergeWeights, MatchTheirDefinitionForEveryAreaBrightness)
{
    const int settings[][3] = {{50, 50, 50}, {100, 100, 50}, {30, 80, 40}, {90, 10, 60}, {0, 100, 0}, {100, 0, 100}};
    for (const auto& [opacity, opacity2, grayPoint] : settings) {
        ToneSettings s;
        s.Opacity = static_cast<uint16_t>(opacity);
        s.Opacity2 = static_cast<uint16_t>(opacity2);
        s.GrayPoint = static_cast<uint16_t>(grayPoint);
        const MergeParams params = *MergeParams::from(s, 65536);
        for (int a = 0; a < 65536; ++a)
            ASSERT_EQ(areaWeight(params, a), literalWeight(opacity, opacity2, grayPoint, a))
                << opacity << " " << opacity2 << " " << grayPoint << " area " << a;
    }
}

// Random area brightness: every pixel mixed with its own weight, in both
// brightness-scaled modes and by both row loops (41 columns: a short group
// at each row's end).
TEST(Merging, BlendsEachPixelByItsAreaWeight)
{
    for (bool simd : {false, true}) {
        const test::SimdSwitch loops(simd);
        for (int mode : {0, 1}) {
            MergeFixture f(41, 23, 9);
            f.ctx.current.Mode = static_cast<uint16_t>(mode);
            f.ctx.current.Opacity = 85;
            f.ctx.current.Opacity2 = 35;
            f.ctx.current.GrayPoint = 57;
            ASSERT_TRUE(f.run());
            const int16_t* us = f.state.sourceChromaPlane();
            const uint16_t* l = f.state.luminancePlane();
            for (std::size_t i = 0; i < f.n(); ++i) {
                const int w = literalWeight(85, 35, 57, f.area[i]);
                ASSERT_EQ(f.luma(i), (w * f.processed[i] + l[i] * (100 - w)) / 100) << i << " simd " << simd;
                // The chroma of the mode before the blend.
                float x = static_cast<float>(f.processed[i] + 256) / static_cast<float>(l[i] + 256);
                if (mode == 0)
                    x = (x + 1.0f) / 2.0f;
                for (int c = 0; c < 2; ++c) {
                    const int scaled =
                        std::clamp(static_cast<int>(static_cast<float>(us[2 * i + c]) * x), -32767, 32767);
                    ASSERT_EQ(f.chroma(2 * i + c), (us[2 * i + c] * (100 - w) + w * scaled) / 100)
                        << i << " mode " << mode << " simd " << simd;
                }
            }
        }
    }
}

TEST(Merging, ZeroOpacityRestoresTheSourceInEveryMode)
{
    for (int mode : {0, 1, 2, 7, 8}) {
        MergeFixture f(23, 13, mode + 10);
        f.ctx.current.Opacity = 0;
        f.ctx.current.Opacity2 = 0;
        f.ctx.current.Mode = static_cast<uint16_t>(mode);
        ASSERT_TRUE(f.run()) << mode;
        for (std::size_t i = 0; i < f.n(); ++i) {
            ASSERT_EQ(f.luma(i), f.state.luminancePlane()[i]) << mode;
            ASSERT_EQ(f.chroma(2 * i), f.state.sourceChromaPlane()[2 * i]) << mode;
            ASSERT_EQ(f.chroma(2 * i + 1), f.state.sourceChromaPlane()[2 * i + 1]) << mode;
        }
    }
}

TEST(Merging, FullOpacityKeepsTheProcessedPixelInDarkBrightAndMidAreas)
{
    for (uint16_t a : {uint16_t{0}, uint16_t{65535}, uint16_t{32768}}) {
        MergeFixture f(19, 11);
        f.ctx.current.Opacity = 100;
        f.ctx.current.Opacity2 = 100;
        f.ctx.current.Mode = 7;
        f.setAll(f.area, a);
        ASSERT_TRUE(f.run());
        for (std::size_t i = 0; i < f.n(); ++i) {
            ASSERT_EQ(f.luma(i), f.processed[i]) << a;
            ASSERT_EQ(f.chroma(2 * i), f.state.sourceChromaPlane()[2 * i]) << a;
        }
    }
}

TEST(Merging, PartialWeightMixesWithIntegerTruncation)
{
    MergeFixture f(9, 9);
    f.ctx.current.Opacity = 100;
    f.ctx.current.Opacity2 = 0;
    f.ctx.current.Mode = 8;
    f.setAll(f.area, 32768);  // w = 50
    ASSERT_TRUE(f.run());
    for (std::size_t i = 0; i < f.n(); ++i) {
        ASSERT_EQ(f.luma(i), (50 * f.processed[i] + 50 * f.state.luminancePlane()[i]) / 100);
        // Chroma of mode 8 is 0, so half of the source remains, truncated toward zero.
        const int us = f.state.sourceChromaPlane()[2 * i];
        ASSERT_EQ(f.chroma(2 * i), us * 50 / 100);
    }
}

TEST(Merging, BrightnessScaledChromaTruncatesAndLimits)
{
    // Processed/source luma pairs and source chroma, per pixel of a row.
    struct Case {
        uint16_t y, l;
        int16_t us;
        int mode0, mode1;
    };
    const Case cases[] = {
        {0, 256, 3, 2, 1},                   // x = 0.5: 1.5 -> 1; mode 0: 0.75 -> 2.25 -> 2
        {0, 256, -3, -2, -1},                // truncation toward zero
        {65535, 0, 32767, 32767, 32767},     // x ~ 257: limited
        {65535, 0, -32768, -32767, -32767},  // limited below too
        {1000, 1000, -32768, -32767, -32767},  // x = 1, still limited to -32767
        {1000, 1000, 1234, 1234, 1234},
    };
    // The cases over and over along a row of 16: whole groups of the vector loop.
    for (bool simd : {false, true}) {
        const test::SimdSwitch loops(simd);
        for (int mode : {0, 1}) {
            MergeFixture f(16, 1);
            f.ctx.current.Opacity = 100;
            f.ctx.current.Opacity2 = 100;
            f.ctx.current.Mode = static_cast<uint16_t>(mode);
            f.setAll(f.area, 0);
            for (int i = 0; i < 16; ++i) {
                const Case& c = cases[i % 6];
                f.processed[i] = c.y;
                f.state.luminancePlane()[i] = c.l;
                f.state.sourceChromaPlane()[2 * i] = c.us;
                f.state.sourceChromaPlane()[2 * i + 1] = c.us;
            }
            ASSERT_TRUE(f.run());
            for (int i = 0; i < 16; ++i) {
                const Case& c = cases[i % 6];
                const int expected = mode == 0 ? c.mode0 : c.mode1;
                EXPECT_EQ(f.chroma(2 * i), expected) << "mode " << mode << " case " << i << " simd " << simd;
                EXPECT_EQ(f.chroma(2 * i + 1), expected) << "mode " << mode << " case " << i << " simd " << simd;
                EXPECT_EQ(f.luma(i), c.y);
            }
        }
    }
}

// U and V of a colour in 0..1, scaled to the chroma planes, in double precision.
double scaledU(double r, double g, double b) { return (-0.14713 * r - 0.28886 * g + 0.436 * b) * 65535 / 0.872; }
double scaledV(double r, double g, double b) { return (0.615 * r - 0.51499 * g - 0.10001 * b) * 65535 / 1.23; }

TEST(Merging, LightnessReplacementKeepsHueAndSaturation)
{
    MergeFixture f(31, 7, 5);
    f.ctx.current.Opacity = 100;
    f.ctx.current.Opacity2 = 100;
    f.ctx.current.Mode = 2;
    f.setAll(f.area, 0);
    // Unchanged luma keeps the source colour; a grey source stays grey;
    // processed luma at white turns every colour white.
    for (std::size_t i = 0; i < f.n(); ++i)
        f.processed[i] = f.state.luminancePlane()[i];
    uint16_t* grey = f.state.working->row16(1);
    for (int x = 0; x < 31; ++x)
        grey[3 * x] = grey[3 * x + 1] = grey[3 * x + 2] = static_cast<uint16_t>(x * 2000);
    for (int x = 0; x < 31; ++x) {
        f.processed[2 * 31 + x] = 65535;
        f.state.luminancePlane()[2 * 31 + x] = 0;
    }
    ASSERT_TRUE(f.run());

    for (int y : {0, 3, 6}) {
        const uint16_t* bgr = f.state.working->row16(y);
        for (int x = 0; x < 31; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 31 + x;
            const double r = bgr[3 * x + 2] / 65535.0, g = bgr[3 * x + 1] / 65535.0, b = bgr[3 * x] / 65535.0;
            EXPECT_NEAR(f.chroma(2 * i), scaledU(r, g, b), 1.0);
            EXPECT_NEAR(f.chroma(2 * i + 1), scaledV(r, g, b), 1.0);
        }
    }
    for (int x = 0; x < 31; ++x) {
        EXPECT_EQ(f.chroma(2 * (31 + x)), 0);
        EXPECT_EQ(f.chroma(2 * (31 + x) + 1), 0);
        // l' = 1 - (1 - l) / 65536: within a few units of white.
        EXPECT_LE(std::abs(f.chroma(2 * (62 + x))), 3);
        EXPECT_LE(std::abs(f.chroma(2 * (62 + x) + 1)), 3);
    }
}

// Mode 2 by its definition, in double precision: the source pixel to HSL,
// its lightness l moved to 1 - (1 - l) (65536 - Y) / (65536 - L), back to
// RGB by the usual formulas, then U and V truncated.
std::pair<int, int> literalRelit(const uint16_t* bgr, int y, int l16)
{
    const double r = bgr[2] / 65535.0, g = bgr[1] / 65535.0, b = bgr[0] / 65535.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double l = (mx + mn) / 2, s = 0, h = 0;
    if (mx != mn) {
        const double d = mx - mn;
        s = l <= 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
        if (mx == r)
            h = 60 * ((g - b) / d);
        else if (mx == g)
            h = 60 * ((b - r) / d + 2);
        else
            h = 60 * ((r - g) / d + 4);
        if (h < 0)
            h += 360;
    }
    l = std::clamp(1 - (1 - std::max(l, 0.0)) * (65536 - y) / (65536 - l16), 0.0, 1.0);
    double rgb[3] = {l, l, l};
    if (s != 0) {
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        for (int c = 0; c < 3; ++c) {
            double t = h / 360 + (1 - c) / 3.0;
            if (t < 0)
                t += 1;
            if (t > 1)
                t -= 1;
            rgb[c] = t < 1.0 / 6 ? p + (q - p) * 6 * t : t < 0.5 ? q : t < 2.0 / 3 ? p + (q - p) * (2.0 / 3 - t) * 6 : p;
        }
    }
    const double u = -0.14713 * rgb[0] - 0.28886 * rgb[1] + 0.436 * rgb[2];
    const double v = 0.615 * rgb[0] - 0.51499 * rgb[1] - 0.10001 * rgb[2];
    return {static_cast<int>(u * (65535 / 0.872)), static_cast<int>(v * (65535 / 1.23))};
}

TEST(Merging, LightnessReplacementMatchesItsDefinition)
{
    MergeFixture f(53, 37, 12);
    f.ctx.current.Opacity = 100;
    f.ctx.current.Opacity2 = 100;
    f.ctx.current.Mode = 2;
    f.setAll(f.area, 0);
    // Greys, pure and half-saturated colours and ties between channels too.
    const uint16_t levels[] = {0, 1, 32767, 32768, 65534, 65535};
    for (int k = 0; k < 6 * 6 * 6; ++k) {
        uint16_t* bgr = f.state.working->row16(k / 53) + 3 * (k % 53);
        bgr[0] = levels[k % 6];
        bgr[1] = levels[k / 6 % 6];
        bgr[2] = levels[k / 36];
    }
    // Random colours elsewhere; 53 columns leave a short group at each row's end.
    for (bool simd : {false, true}) {
        const test::SimdSwitch loops(simd);
        ASSERT_TRUE(f.run());
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 53; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * 53 + x;
                const auto [u, v] =
                    literalRelit(f.state.working->row16(y) + 3 * x, f.processed[i], f.state.luminancePlane()[i]);
                ASSERT_EQ(f.chroma(2 * i), u) << x << "," << y << " simd " << simd;
                ASSERT_EQ(f.chroma(2 * i + 1), v) << x << "," << y << " simd " << simd;
            }
    }
}

TEST(Hsl, RoundTripsColours)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 10000; ++i) {
        const Rgb c{unit(rng), unit(rng), unit(rng)};
        const Hsl hsl = rgbToHsl(c);
        ASSERT_GE(hsl.hue, 0.0);
        ASSERT_LT(hsl.hue, 360.0);
        const Rgb back = hslToRgb(hsl);
        ASSERT_NEAR(back.red, c.red, 1e-12);
        ASSERT_NEAR(back.green, c.green, 1e-12);
        ASSERT_NEAR(back.blue, c.blue, 1e-12);
    }
    const Hsl red = rgbToHsl({1, 0, 0});
    EXPECT_EQ(red.hue, 0);
    EXPECT_EQ(red.saturation, 1);
    EXPECT_EQ(red.lightness, 0.5);
    EXPECT_EQ(rgbToHsl({0, 0, 1}).hue, 240);
    EXPECT_EQ(rgbToHsl({1, 0, 1}).hue, 300);
}

TEST(Merging, BlackAndWhiteModeZeroesChroma)
{
    MergeFixture f(17, 9);
    f.ctx.current.Opacity = 100;
    f.ctx.current.Opacity2 = 100;
    f.ctx.current.Mode = 8;
    f.setAll(f.area, 0);
    ASSERT_TRUE(f.run());
    for (std::size_t i = 0; i < 2 * f.n(); ++i)
        ASSERT_EQ(f.chroma(i), 0);
}

TEST(Merging, UnknownColourModesFail)
{
    for (int mode : {3, 4, 5, 6, 9, 65535}) {
        MergeFixture f(12, 10);
        f.ctx.current.Mode = static_cast<uint16_t>(mode);
        EXPECT_FALSE(f.run()) << mode;
    }
}

TEST(Merging, LightnessModeNeedsAMatchingWorkingBitmap)
{
    MergeFixture f(12, 10);
    f.ctx.current.Mode = 2;
    f.state.working = Bitmap::create(12, 9, PixelFormat::Bgr48);
    EXPECT_FALSE(f.run());
    f.state.working = Bitmap::create(12, 10, PixelFormat::Bgr24);
    EXPECT_FALSE(f.run());
    f.ctx.current.Mode = 1;  // the other modes do not read it
    EXPECT_TRUE(f.run());
}

// The stage contract checks the colour mode 2; the other two mix their
// planes in loops of their own.
TEST(Merging, ResultDoesNotDependOnTheWorkerCountInTheOtherModes)
{
    for (int mode : {0, 1}) {
        std::vector<uint16_t> firstLuma;
        std::vector<int16_t> firstChroma;
        for (int workers : {1, 3, 20}) {
            MergeFixture f(37, 101, 7);
            f.ctx.workerCount = workers;
            f.ctx.current.Mode = static_cast<uint16_t>(mode);
            f.ctx.current.Opacity = 70;
            f.ctx.current.Opacity2 = 35;
            f.ctx.current.GrayPoint = 43;
            ASSERT_TRUE(f.run());
            std::vector<uint16_t> luma(mergedLuma(f.state).begin(), mergedLuma(f.state).end());
            std::vector<int16_t> chroma(mergedChroma(f.state).begin(), mergedChroma(f.state).end());
            if (workers == 1) {
                firstLuma = luma;
                firstChroma = chroma;
            } else {
                EXPECT_EQ(luma, firstLuma) << mode << " " << workers;
                EXPECT_EQ(chroma, firstChroma) << mode << " " << workers;
            }
        }
    }
}

}  // namespace
}  // namespace qv
