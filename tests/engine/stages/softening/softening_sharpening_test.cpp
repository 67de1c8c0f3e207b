#include <gtest/gtest.h>

#include <cmath>

#include "engine/kernels/gaussian_blur.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/weight_tables.h"
#include "engine/stages/sharpening/sharpening.h"
#include "engine/stages/softening/softening.h"
#include "support/reference_blur.h"
#include "support/stage_image.h"
#include "text/status_codes.h"

namespace qv {
namespace {

using test::Plane;

struct Image : test::StageImage {
    Image(int width, int height, Plane values) : StageImage(width, height) { luma = std::move(values); }
    Plane plane(PlaneMemory& memory) const
    {
        const uint16_t* p = memory.as<uint16_t>();
        return Plane(p, p + state.pixelCount());
    }
    bool soften(int softness, bool inputChanged, int workers = 3)
    {
        ctx.current.Softness = static_cast<uint16_t>(softness);
        ctx.workerCount = workers;
        return runSofteningStage(ctx, state, luma.data(), state.softened.as<uint16_t>(), inputChanged);
    }
    bool sharpen(int sharpness, int radius, int workers = 3)
    {
        ctx.current.Sharpness = static_cast<uint16_t>(sharpness);
        ctx.current.SharpnessRadius = static_cast<uint16_t>(radius);
        ctx.workerCount = workers;
        return runSharpeningStage(ctx, state, luma.data(), state.sharpened.as<uint16_t>());
    }
};

// The softening result by its definition: the mean of the window of radius r
// (7 % of the longer side, at least 2, stated by each caller) by brute force,
// the blur by the reference convolution, then the blend.
Plane referenceSoften(const Plane& in, int w, int h, int r, int softness, const float* exponents)
{
    Plane contrast(in.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int64_t sum = 0, n = 0;
            for (int yy = std::max(y - r, 0); yy <= std::min(y + r, h - 1); ++yy)
                for (int xx = std::max(x - r, 0); xx <= std::min(x + r, w - 1); ++xx, ++n)
                    sum += in[yy * w + xx];
            const int64_t q = (n * in[y * w + x] - sum) / std::max<int64_t>((n - 1) / 4, 1) + 32768;
            contrast[y * w + x] = static_cast<uint16_t>(std::clamp<int64_t>(q, 0, 65535));
        }
    const Plane soft = test::referenceBlur(
        contrast, w, h, makeGaussianKernel(static_cast<float>(softeningSigma(w, h)))->weights);
    Plane out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float v = std::pow(static_cast<float>(in[i]) / 65535.0f, exponents[soft[i]]);
        out[i] = static_cast<uint16_t>((static_cast<int64_t>(v * 65535.0f * static_cast<float>(softness)) +
                                        int64_t(in[i]) * (150 - softness)) / 150);
    }
    return out;
}

// Images with fewer rows or columns than workers among them.
TEST(Softening, MatchesTheDefinitionWhateverTheWorkers)
{
    struct Case {
        int width, height, radius;
    };
    for (const Case& c : {Case{61, 37, 4}, Case{2, 2, 2}, Case{1, 1, 2}, Case{120, 9, 8}, Case{5, 71, 4}}) {
        Image image(c.width, c.height, test::randomPlane(c.width * c.height, c.width * 7 + c.height));
        const Plane expected =
            referenceSoften(image.luma, c.width, c.height, c.radius, 60, image.state.secondWeightTable());
        for (int workers : {1, 3, 20}) {
            ASSERT_TRUE(image.soften(60, true, workers));
            EXPECT_EQ(image.plane(image.state.softened), expected) << c.width << "x" << c.height << " " << workers;
        }
    }
}

TEST(Softening, FlatImageGivesMidContrastAndFullStrengthIsThePowerCurveAlone)
{
    Image flat(40, 30, Plane(1200, 20000));
    ASSERT_TRUE(flat.soften(150, true));
    EXPECT_EQ(Plane(softeningMap(flat.state).begin(), softeningMap(flat.state).end()), Plane(1200, 32768));
    const float g = flat.state.secondWeightTable()[32768];
    const auto curve =
        static_cast<uint16_t>(static_cast<int64_t>(std::pow(20000.0f / 65535.0f, g) * 65535.0f * 150.0f) / 150);
    EXPECT_EQ(flat.plane(flat.state.softened), Plane(1200, curve));
    EXPECT_NEAR(curve, 20000, 2);
}

TEST(Softening, SoftnessOnlyChangeReusesTheCachedMap)
{
    Image image(50, 40, test::randomPlane(2000, 5));
    ASSERT_TRUE(image.soften(30, true));
    const Plane map(softeningMap(image.state).begin(), softeningMap(image.state).end());
    // Scribble over the scratch before the map: a blend-only run must not need it.
    std::fill_n(image.state.pairs.as<uint16_t>(), 3 * 2000, 0x1234);
    ASSERT_TRUE(image.soften(90, false));
    EXPECT_EQ(Plane(softeningMap(image.state).begin(), softeningMap(image.state).end()), map);
    EXPECT_EQ(image.plane(image.state.softened),
              referenceSoften(image.luma, 50, 40, 3, 90, image.state.secondWeightTable()));
}

// Box radius 32769 over 468129 rows: a column sum of a white window of
// 65539 rows would wrap in 32 bits, so the stage refuses the image instead
// of producing a wrong contrast map.
TEST(Softening, RefusesImagesWhoseColumnSumsWouldOverflow)
{
    const int tall = 468129;
    ASSERT_EQ(softeningBoxRadius(1, tall), 32769);
    Image image(1, tall, Plane(tall, 65535));
    EXPECT_FALSE(image.soften(60, true));
}

// The output is written column block by column block while the input is still read.
TEST(Sharpening, RefusesToWriteOverItsInput)
{
    Image image(8, 8, Plane(64, 1000));
    image.ctx.current.Sharpness = 100;
    image.ctx.percent = 40;
    uint16_t* plane = image.state.sharpened.as<uint16_t>();
    EXPECT_FALSE(runSharpeningStage(image.ctx, image.state, plane, plane));
    EXPECT_EQ(image.ctx.statusCode.load(), StatusCode::Sharpening);
    EXPECT_EQ(image.ctx.percent.load(), 0);
}

TEST(Sharpening, KernelsFollowTheRadius)
{
    EXPECT_EQ(makeGaussianKernel(0.4f)->weights, (std::vector<uint32_t>{1, 23, 1}));
    EXPECT_EQ(makeGaussianKernel(0.7f)->weights, (std::vector<uint32_t>{1, 21, 59, 21, 1}));
    EXPECT_EQ(makeGaussianKernel(0.9f)->size(), 7);
    EXPECT_EQ(makeGaussianKernel(4.0f)->weights,
              (std::vector<uint32_t>{1, 2, 3, 5, 7, 10, 14, 17, 20, 22, 23, 22, 20, 17, 14, 10, 7, 5, 3, 2, 1}));
    EXPECT_EQ(makeGaussianKernel(4.0f)->sum, 225u);
}

TEST(Sharpening, SoftThresholdAndClamping)
{
    // Flat: unchanged.
    EXPECT_EQ(sharpenValue(30000, 30000, 2.0f), 30000);
    // At and above the threshold the full amount applies: 2000 above the
    // blur with Sharpness 200 moves to A + 4000, clamped at the ends.
    EXPECT_EQ(sharpenValue(32000, 30000, 2.0f), 36000);
    EXPECT_EQ(sharpenValue(64000, 62000, 2.0f), 65535);
    EXPECT_EQ(sharpenValue(1000, 3000, 2.0f), 0);
    // Below it, proportionally less: d = 512 gets half the amount.
    EXPECT_EQ(sharpenValue(10512, 10000, 1.0f), 10768);
    // A fractional result truncates: d = 600 gets 600/1024 of the amount,
    // 10600 + 0.5859375 * 600 = 10951.5625 (exact in single precision).
    EXPECT_EQ(sharpenValue(10600, 10000, 1.0f), 10951);
    // In single precision 1.009375 * 1000 - 0.009375 * 40 comes to 1009;
    // double precision would leave it just below and truncate to 1008.
    EXPECT_EQ(sharpenValue(1000, 40, 1 / 100.0f), 1009);
}

TEST(Sharpening, MatchesTheDefinitionWhateverTheWorkers)
{
    for (int radius : {4, 9, 40}) {
        Image image(53, 31, test::randomPlane(53 * 31, radius));
        const Plane blurred = test::referenceBlur(image.luma, 53, 31, makeGaussianKernel(radius / 10.0f)->weights);
        Plane expected(image.luma.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            expected[i] = sharpenValue(image.luma[i], blurred[i], 1.5f);
        for (int workers : {1, 3, 20}) {
            ASSERT_TRUE(image.sharpen(150, radius, workers));
            EXPECT_EQ(image.plane(image.state.sharpened), expected) << radius << " " << workers;
        }
    }
    Image flat(20, 20, Plane(400, 777));
    ASSERT_TRUE(flat.sharpen(200, 40));
    EXPECT_EQ(flat.plane(flat.state.sharpened), Plane(400, 777));
}

}  // namespace
}  // namespace qv
