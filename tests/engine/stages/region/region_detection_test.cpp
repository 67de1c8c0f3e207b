#include "engine/stages/region/region_detection.h"

#include <gtest/gtest.h>

#include "engine/kernels/gaussian_blur.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "support/reference_blur.h"

namespace qv {
namespace {

using test::Plane;

struct RegionImage {
    PipelineState state;
    ProcessingContext ctx;
    Plane luminance;

    RegionImage(int width, int height, Plane input) : luminance(std::move(input))
    {
        EXPECT_TRUE(state.allocatePlanes(width, height));
    }
    bool run(int detectSH, int workers = 3)
    {
        ctx.current.DetectSH = static_cast<uint16_t>(detectSH);
        ctx.workerCount = workers;
        return runRegionStage(ctx, state, luminance.data(), state.region.as<uint16_t>());
    }
    Plane region()
    {
        const uint16_t* r = state.region.as<uint16_t>();
        return Plane(r, r + state.pixelCount());
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
TEST(RegionDetection, BlursWithTheWideKernelWhateverTheWorkers)
{
    struct Case {
        int width, height, detectSH;
    };
    for (const Case& c : {Case{401, 203, 5}, Case{1000, 7, 5}, Case{7, 300, 3}, Case{150, 99, 1}}) {
        RegionImage image(c.width, c.height, test::randomPlane(c.width * c.height, c.width + c.height));
        const std::vector<uint32_t> weights =
            makeGaussianKernel(static_cast<float>(regionSigma(c.width, c.height, c.detectSH)))->weights;
        const Plane expected = test::referenceBlur(image.luminance, c.width, c.height, weights);
        for (bool simd : {false, true}) {
            test::SimdSwitch path(simd);
            for (int workers : {1, 3, 20}) {
                std::fill_n(image.state.region.as<uint16_t>(), image.state.pixelCount(), 0xDEAD);
                ASSERT_TRUE(image.run(c.detectSH, workers));
                EXPECT_EQ(image.region(), expected)
                    << c.width << "x" << c.height << " workers " << workers << " simd " << simd;
            }
        }
    }
}

TEST(RegionDetection, AUniformImageKeepsItsValue)
{
    for (uint16_t value : {uint16_t(0), uint16_t(30000), uint16_t(65535)}) {
        RegionImage image(257, 131, Plane(257 * 131, value));
        ASSERT_TRUE(image.run(5));
        EXPECT_EQ(image.region(), image.luminance);
    }
}

TEST(RegionDetection, RefusesBadInputAndStopsOnAbort)
{
    RegionImage image(40, 30, Plane(1200, 500));
    EXPECT_FALSE(image.run(6));
    image.state.abort = true;
    EXPECT_FALSE(image.run(3));
    image.state.abort = false;
    EXPECT_TRUE(image.run(3));
    PipelineState empty;
    EXPECT_FALSE(runRegionStage(image.ctx, empty, image.luminance.data(), image.state.region.as<uint16_t>()));
}

}  // namespace
}  // namespace qv
