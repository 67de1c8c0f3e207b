#include "engine/stages/light/light.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/stage_image.h"

namespace qv {
namespace {

// Source luminance and luma of noise over the whole range.
struct LightFixture : test::StageImage {
    LightFixture(int w, int h, unsigned seed = 1) : StageImage(w, h)
    {
        const test::Plane source = test::randomPlane(luma.size(), seed);
        std::copy(source.begin(), source.end(), state.luminancePlane());
        luma = test::randomPlane(luma.size(), seed + 1000);
    }
    bool run(bool inputChanged = true) { return runLightStage(ctx, state, luma.data(), out.data(), inputChanged); }
    const uint16_t* map() { return state.lightMap.as<uint16_t>(); }
    std::vector<uint16_t> mapCopy() { return {map(), map() + state.pixelCount()}; }
};

// The light map by direct summation over every window.
std::vector<uint16_t> referenceMap(const uint16_t* lum, int w, int h)
{
    std::vector<uint16_t> map(static_cast<std::size_t>(w) * h, 0);
    int r = lightFirstRadius(w, h);
    do {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int64_t sum = 0, n = 0;
                for (int yy = std::max(y - r, 0); yy <= std::min(y + r, h - 1); ++yy)
                    for (int xx = std::max(x - r, 0); xx <= std::min(x + r, w - 1); ++xx, ++n)
                        sum += lum[yy * w + xx];
                const int64_t v = lum[y * w + x];
                const int64_t q = std::clamp<int64_t>((n > 1 ? (n * v - sum) / (n - 1) : 0) + 32768, 0, 65535);
                uint16_t& m = map[y * w + x];
                m = std::max<uint16_t>(m, static_cast<uint16_t>(q));
            }
        r /= 2;
    } while (r > 2);
    return map;
}

TEST(LightRadii, FollowTheLongerSide)
{
    EXPECT_EQ(lightFirstRadius(1, 1), 2);
    EXPECT_EQ(lightFirstRadius(33, 10), 5);
    EXPECT_EQ(lightFirstRadius(10, 34), 6);
    EXPECT_EQ(lightFirstRadius(1280, 853), 230);
    // Progress counts one level more than the radii used once r0 > 2.
    EXPECT_EQ(lightProgressLevels(2), 1);
    EXPECT_EQ(lightProgressLevels(5), 2);
    EXPECT_EQ(lightProgressLevels(10), 3);
    // The radii used: 2; 5; 10, 5; 230, 115, 57, 28, 14, 7, 3.
    EXPECT_EQ(lightRadiusCount(2), 1);
    EXPECT_EQ(lightRadiusCount(5), 1);
    EXPECT_EQ(lightRadiusCount(10), 2);
    EXPECT_EQ(lightRadiusCount(230), 7);
}

TEST(LightOverlay, MultipliesShadowsAndScreensHighlights)
{
    for (uint32_t m : {0u, 1u, 32768u, 65535u}) {
        EXPECT_EQ(lightOverlay(0, m), 0);
        EXPECT_EQ(lightOverlay(65535, m), 65535);
    }
    // Mid-grey light leaves the luma alone, to within one unit.
    for (uint32_t b = 0; b < 65536; ++b)
        ASSERT_LE(std::abs(int(lightOverlay(b, 32768)) - int(b)), 1) << b;
    EXPECT_EQ(lightOverlay(1000, 65535), (65535u * 1000) >> 15);
    EXPECT_EQ(lightOverlay(40000, 0), 65535 - ((65535u * 25535) >> 15));
    // Every luma value against maps across the range: multiply strictly
    // below 32768, screen from 32768 on.
    for (uint32_t m : {0u, 1u, 20000u, 32767u, 32768u, 50000u, 65534u, 65535u})
        for (uint32_t b = 0; b < 65536; ++b) {
            const uint32_t expected = b < 32768 ? (m * b) >> 15 : 65535 - (((65535 - m) * (65535 - b)) >> 15);
            ASSERT_EQ(lightOverlay(b, m), expected & 0xFFFF) << "b " << b << " m " << m;
        }
}

// The vector blend against the formula, on both paths: every luma value
// against maps at and around the overlay's switch and its ends, for
// lightness at both ends and between.
TEST(LightBlend, RowsFollowTheFormulaOnBothPaths)
{
    std::vector<uint16_t> luma(65536 + 5);
    for (std::size_t i = 0; i < luma.size(); ++i)
        luma[i] = static_cast<uint16_t>(i);
    for (const uint16_t m : {0, 1, 20000, 32767, 32768, 50000, 65535})
        for (const int a : {0, 1, 37, 99, 100}) {
            const std::vector<uint16_t> map(luma.size(), m);
            for (const bool vectors : {false, true}) {
                std::vector<uint16_t> out(luma.size());
                test::pickedWith(vectors, lightBlendRow)(luma.data(), map.data(), out.data(), int(luma.size()), a);
                for (std::size_t i = 0; i < luma.size(); ++i)
                    ASSERT_EQ(out[i], (luma[i] * uint32_t(100 - a) + lightOverlay(luma[i], m) * uint32_t(a)) / 100)
                        << "b " << luma[i] << " m " << m << " a " << a << " vectors " << vectors;
            }
        }
}

TEST(Light, MapMatchesDirectWindowSumsAtEveryScale)
{
    // 70 x 45: radii 12, 6, 3. 23 x 17: radius 4 only. Thin strips and a
    // single row exercise windows clipped on both sides; 150 x 37 has rows
    // whose windows leave a wide middle, with bands of 8 rows.
    const int sizes[][2] = {{70, 45}, {23, 17}, {1, 40}, {40, 1}, {3, 2}, {90, 9}, {150, 37}};
    for (const auto& size : sizes)
        for (const bool vectors : {false, true}) {
            const test::SimdSwitch loops(vectors);
            LightFixture f(size[0], size[1], size[0] * 100 + size[1]);
            f.ctx.workerCount = size[0] == 150 ? 5 : 3;
            ASSERT_TRUE(f.run());
            EXPECT_EQ(f.mapCopy(), referenceMap(f.state.luminancePlane(), size[0], size[1]))
                << size[0] << "x" << size[1] << " vectors " << vectors;
        }
}

TEST(Light, FlatImageLeavesLumaUnchangedUpToRounding)
{
    LightFixture f(41, 27);
    std::fill(f.state.luminancePlane(), f.state.luminancePlane() + f.state.pixelCount(), uint16_t{12345});
    f.ctx.current.Lightness = 100;
    ASSERT_TRUE(f.run());
    for (std::size_t i = 0; i < f.state.pixelCount(); ++i) {
        ASSERT_EQ(f.map()[i], 32768);
        ASSERT_LE(std::abs(int(f.out[i]) - int(f.luma[i])), 1);
    }
}

TEST(Light, FullLightnessGivesTheOverlayAlone)
{
    LightFixture f(53, 31, 4);
    f.ctx.current.Lightness = 100;
    ASSERT_TRUE(f.run());
    for (std::size_t i = 0; i < f.state.pixelCount(); ++i)
        ASSERT_EQ(f.out[i], lightOverlay(f.luma[i], f.map()[i]));
}

TEST(Light, PartialLightnessMixesWithTheLuma)
{
    LightFixture f(29, 19, 6);
    f.ctx.current.Lightness = 37;
    ASSERT_TRUE(f.run());
    for (std::size_t i = 0; i < f.state.pixelCount(); ++i)
        ASSERT_EQ(f.out[i], (f.luma[i] * 63u + lightOverlay(f.luma[i], f.map()[i]) * 37u) / 100);
}

TEST(Light, SinglePixelImageCountsAsFlat)
{
    LightFixture f(1, 1);
    f.ctx.current.Lightness = 100;
    ASSERT_TRUE(f.run());
    EXPECT_EQ(f.map()[0], 32768);
    EXPECT_EQ(f.out[0], lightOverlay(f.luma[0], 32768));
}

TEST(Light, MapIsRebuiltOnlyWhenAsked)
{
    LightFixture f(45, 33, 8);
    ASSERT_TRUE(f.run(true));
    const std::vector<uint16_t> first = f.mapCopy();

    // New source luminance: a blend-only run keeps the cached map.
    std::reverse(f.state.luminancePlane(), f.state.luminancePlane() + f.state.pixelCount());
    f.ctx.current.Lightness = 100;
    ASSERT_TRUE(f.run(false));
    EXPECT_EQ(f.mapCopy(), first);
    for (std::size_t i = 0; i < f.state.pixelCount(); ++i)
        ASSERT_EQ(f.out[i], lightOverlay(f.luma[i], first[i]));

    ASSERT_TRUE(f.run(true));
    EXPECT_EQ(f.mapCopy(), referenceMap(f.state.luminancePlane(), 45, 33));
}

// So tall that a column sum of the largest window would not fit in 32 bits.
TEST(Light, RefusesImagesWhoseColumnSumsWouldOverflow)
{
    LightFixture tall(1, 200000);
    EXPECT_FALSE(tall.run());
}

}  // namespace
}  // namespace qv
