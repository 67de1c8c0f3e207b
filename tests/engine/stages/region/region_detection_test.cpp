#include "engine/stages/region/region_detection.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/kernels/gaussian_blur.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/stage_image.h"

namespace qv {
namespace {

using test::Plane;

struct RegionImage : test::StageImage {
    RegionImage(int width, int height, Plane input) : StageImage(width, height) { luma = std::move(input); }
    bool run(int detectSH)
    {
        ctx.current.DetectSH = static_cast<uint16_t>(detectSH);
        return runRegionStage(ctx, state, luma.data(), out.data());
    }
};

TEST(RegionDetection, SpreadGrowsWithImageSizeAndDetectSH)
{
    EXPECT_EQ(regionSigma(1600, 1200, 1), 8);
    EXPECT_EQ(regionSigma(1200, 1600, 5), 40);
    EXPECT_EQ(regionSigma(150, 100, 1), 1);
    EXPECT_EQ(regionSigma(1600, 1200, 0), 1);
    EXPECT_EQ(makeGaussianKernel(8.0f)->size(), 41);
    EXPECT_EQ(makeGaussianKernel(40.0f)->size(), 201);
}

// 1000 x 7 and 7 x 300 have lines far shorter than their kernels; 150 x 99
// is small enough for the 7-tap kernel.
TEST(RegionDetection, BlursWithTheWideKernelOnEitherPathWhateverTheWorkers)
{
    struct Case {
        int width, height, detectSH;
    };
    for (const Case& c : {Case{401, 203, 5}, Case{1000, 7, 5}, Case{7, 300, 3}, Case{150, 99, 1}}) {
        RegionImage image(c.width, c.height, test::randomPlane(c.width * c.height, c.width + c.height));
        const std::vector<uint32_t> weights =
            makeGaussianKernel(static_cast<float>(regionSigma(c.width, c.height, c.detectSH)))->weights;
        const Plane expected = test::referenceBlur(image.luma, c.width, c.height, weights);
        for (bool simd : {false, true}) {
            test::SimdSwitch path(simd);
            for (int workers : {1, 3, 20}) {
                std::fill(image.out.begin(), image.out.end(), 0xDEAD);
                image.ctx.workerCount = workers;
                ASSERT_TRUE(image.run(c.detectSH));
                EXPECT_EQ(image.out, expected) << c.width << "x" << c.height << " workers " << workers << " simd " << simd;
            }
        }
    }
}

TEST(RegionDetection, AUniformImageKeepsItsValue)
{
    for (uint16_t value : {uint16_t(0), uint16_t(30000), uint16_t(65535)}) {
        RegionImage image(257, 131, Plane(257 * 131, value));
        ASSERT_TRUE(image.run(5));
        EXPECT_EQ(image.out, image.luma);
    }
}

}  // namespace
}  // namespace qv
