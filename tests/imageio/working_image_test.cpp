#include "imageio/working_image.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "engine/pipeline/pipeline_state.h"
#include "imageio/image_io_context.h"
#include "imageio/resample.h"
#include "imageio/source_planes.h"
#include "imaging/bitmap.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "text/status_codes.h"

namespace qv {
namespace {

TEST(FitToBox, ShrinksIntoTheBoxAndNeverEnlarges)
{
    EXPECT_EQ(fitToBox(4000, 3000, 800, 800), (ImageSize{800, 600}));
    EXPECT_EQ(fitToBox(4000, 3000, 2048, 2048), (ImageSize{2048, 1536}));
    // Two double divisions and truncation: 1280 / (1706.66... / 1280) is just below 960.
    EXPECT_EQ(fitToBox(3000, 4000, 1280, 1280), (ImageSize{959, 1280}));
    EXPECT_EQ(fitToBox(700, 500, 800, 800), (ImageSize{700, 500}));
    EXPECT_EQ(fitToBox(800, 800, 800, 800), (ImageSize{800, 800}));
    EXPECT_EQ(fitToBox(300, 200, 2048, 2048), (ImageSize{300, 200}));
    EXPECT_EQ(fitToBox(500, 1000, 800, 800), (ImageSize{400, 800}));
    // A very thin image keeps at least one pixel across.
    EXPECT_EQ(fitToBox(16, 20000, 800, 800), (ImageSize{1, 800}));
}

TEST(PreviewLimit, KnownModesAndFullSize)
{
    EXPECT_EQ(previewLimit(0), 0);
    EXPECT_EQ(previewLimit(1), 800);
    EXPECT_EQ(previewLimit(2), 1280);
    EXPECT_EQ(previewLimit(3), 2048);
    EXPECT_EQ(previewLimit(4), 0);
    EXPECT_EQ(previewLimit(-1), 0);
}

TEST(SourcePlanes, GreyHasNoChromaAndWhiteIsFullLuminance)
{
    for (int v = 0; v <= 65535; ++v) {
        const uint16_t g = static_cast<uint16_t>(v);
        const SourcePixelPlanes p = sourcePixelPlanes(g, g, g);
        ASSERT_EQ(p.u, 0) << v;
        ASSERT_EQ(p.v, 0) << v;
    }
    EXPECT_EQ(sourcePixelPlanes(65535, 65535, 65535).luminance, 65535);
    EXPECT_EQ(sourcePixelPlanes(0, 0, 0).luminance, 0);
}

// An abort raised while the planes are computed ends the computation after
// the row in progress and is reported, so that the preparation fails.
TEST(SourcePlanes, AnAbortStopsAfterTheRowInProgress)
{
    std::unique_ptr<Bitmap> working = Bitmap::create(20, 10, PixelFormat::Bgr48);
    ASSERT_TRUE(working);
    for (int y = 0; y < 10; ++y)
        for (int i = 0; i < 60; ++i)
            working->row16(y)[i] = 40000;
    const uint16_t grey = sourcePixelPlanes(40000, 40000, 40000).luminance;
    for (const bool aborted : {true, false}) {
        std::vector<uint16_t> luminance(200, 7);
        std::vector<int16_t> chroma(400, 7);
        std::atomic<bool> abort{aborted};
        std::atomic<int> percent{0};
        EXPECT_EQ(computeSourcePlanes(*working, luminance.data(), chroma.data(), abort, percent), !aborted);
        EXPECT_EQ(luminance[0], grey) << aborted;  // the first row is done either way
        EXPECT_EQ(luminance[20], aborted ? 7 : grey);
        EXPECT_EQ(luminance[199], aborted ? 7 : grey);
    }
}

TEST(SourcePlanes, SaturatedColoursStayInRange)
{
    // The extremes of the colour cube, against the formulas in double precision.
    for (int corner = 0; corner < 8; ++corner) {
        const double b = corner & 1 ? 65535 : 0, g = corner & 2 ? 65535 : 0, r = corner & 4 ? 65535 : 0;
        const SourcePixelPlanes p = sourcePixelPlanes(static_cast<uint16_t>(b), static_cast<uint16_t>(g),
                                                      static_cast<uint16_t>(r));
        EXPECT_NEAR(p.u, (0.436 * b - 0.28886 * g - 0.14713 * r) / 0.872, 1.0) << corner;
        EXPECT_NEAR(p.v, (0.615 * r - 0.10001 * b - 0.51499 * g) / 1.23, 1.0) << corner;
        EXPECT_NEAR(p.luminance, 0.299 * r + 0.114 * b + 0.587 * g, 1.0) << corner;
    }
    // Pure blue and pure red give the largest colour differences.
    EXPECT_EQ(sourcePixelPlanes(65535, 0, 0).u, 32767);
    EXPECT_EQ(sourcePixelPlanes(0, 0, 65535).v, 32767);
    EXPECT_EQ(sourcePixelPlanes(0, 65535, 65535).u, -32766);
}

TEST(SourcePlanes, SinglePrecisionInTheirOrderAndTruncated)
{
    // About one pixel in a thousand comes out differently in double
    // precision or with the terms added in another order.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> sample(0, 65535);
    for (int i = 0; i < 200000; ++i) {
        const uint16_t b16 = static_cast<uint16_t>(sample(random)), g16 = static_cast<uint16_t>(sample(random)),
                       r16 = static_cast<uint16_t>(sample(random));
        const float b = b16, g = g16, r = r16;
        const SourcePixelPlanes p = sourcePixelPlanes(b16, g16, r16);
        SCOPED_TRACE(::testing::Message() << "B " << b16 << " G " << g16 << " R " << r16);
        ASSERT_EQ(p.u, static_cast<int>(((0.436f * b - 0.28886f * g) - 0.14713f * r) / 0.872f));
        ASSERT_EQ(p.v, static_cast<int>((0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f));
        ASSERT_EQ(p.luminance, static_cast<int>((0.299f * r + 0.114f * b) + 0.587f * g));
    }
}

// The vector row against the plain one on rows of every length around its
// groups of eight, with channels at both ends of their range (the largest
// colour differences and white) and noise between.
TEST(SourcePlanes, VectorRowMatchesThePlainOne)
{
    std::mt19937 random(11);
    for (const int width : {1, 7, 8, 9, 16, 23, 200}) {
        std::vector<uint16_t> bgr(3 * width);
        for (uint16_t& c : bgr)
            c = random() % 3 == 0 ? uint16_t(random() % 2 * 65535) : uint16_t(random());
        std::vector<uint16_t> luminance[2];
        std::vector<int16_t> chroma[2];
        for (const bool vectors : {false, true}) {
            luminance[vectors].assign(width, 7);
            chroma[vectors].assign(2 * width, 7);
            test::pickedWith(vectors, sourcePlaneRow)(bgr.data(), width, luminance[vectors].data(),
                                                      chroma[vectors].data());
        }
        EXPECT_EQ(luminance[0], luminance[1]) << width;
        EXPECT_EQ(chroma[0], chroma[1]) << width;
        const SourcePixelPlanes last = sourcePixelPlanes(bgr[3 * width - 3], bgr[3 * width - 2], bgr[3 * width - 1]);
        EXPECT_EQ(luminance[1].back(), last.luminance) << width;
    }
}

// A decoded pair as the loader leaves it: a 16-bit picture and its high bytes.
void putSourcePair(PipelineState& state, int width, int height)
{
    state.working = Bitmap::create(width, height, PixelFormat::Bgr48);
    state.source = Bitmap::create(width, height, PixelFormat::Bgr24);
    std::mt19937 random(static_cast<unsigned>(width * 31 + height));
    std::uniform_int_distribution<int> noise(0, 4095);
    for (int y = 0; y < height; ++y) {
        uint16_t* row = state.working->row16(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint16_t>(x * 60000 / width + noise(random));
            row[3 * x + 1] = static_cast<uint16_t>(y * 60000 / height + noise(random));
            row[3 * x + 2] = static_cast<uint16_t>(30000 + noise(random) * 8);
        }
    }
    copyHighBytes(*state.working, *state.source);
}

// A context in the given preview mode, with a worker count that splits the
// resampling unevenly.
struct ContextInMode : ImageIoContext {
    explicit ContextInMode(int mode)
    {
        config.previewMode = mode;
        workerCount = 3;
    }
};

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.format() != b.format())
        return false;
    const std::size_t bytes = static_cast<std::size_t>(a.width()) * bytesPerPixel(a.format());
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), bytes) != 0)
            return false;
    return true;
}

// Every plane and buffer of the prepared state, checked against the source pair.
void expectPrepared(PipelineState& state, int width, int height)
{
    ASSERT_EQ(state.width, width);
    ASSERT_EQ(state.height, height);
    ASSERT_TRUE(state.source && state.working && state.output && state.panel);
    EXPECT_EQ(state.working->width(), width);
    EXPECT_EQ(state.working->height(), height);
    EXPECT_EQ(state.panel->width(), 272);
    EXPECT_EQ(state.panel->height(), 136);

    std::unique_ptr<Bitmap> highBytes = Bitmap::create(width, height, PixelFormat::Bgr24);
    copyHighBytes(*state.working, *highBytes);
    EXPECT_TRUE(samePixels(*state.source, *highBytes));
    EXPECT_TRUE(samePixels(*state.output, *state.source));

    const std::size_t n = state.pixelCount();
    EXPECT_EQ(state.luminance.bytes(), 2 * n);
    EXPECT_EQ(state.sourceChroma.bytes(), 4 * n);
    EXPECT_EQ(state.merged.bytes(), 6 * n);
    EXPECT_EQ(state.pairs.bytes(), 8 * n);
    for (int y = 0; y < height; ++y) {
        const uint16_t* in = state.working->row16(y);
        for (int x = 0; x < width; ++x) {
            const SourcePixelPlanes p = sourcePixelPlanes(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            ASSERT_EQ(state.luminancePlane()[i], p.luminance) << x << "," << y;
            ASSERT_EQ(state.sourceChromaPlane()[2 * i], p.u) << x << "," << y;
            ASSERT_EQ(state.sourceChromaPlane()[2 * i + 1], p.v) << x << "," << y;
        }
    }
}

TEST(PrepareWorkingImage, ShrinksToThePreviewLimitWithTheCubicKernel)
{
    PipelineState state;
    putSourcePair(state, 1000, 750);
    // The expected reduction, made directly from the decoded 16-bit source.
    std::unique_ptr<Bitmap> expected = Bitmap::create(800, 600, PixelFormat::Bgr48);
    {
        std::vector<float> work(resampleWorkFloats(800, 750));
        std::atomic<bool> abort{false};
        std::atomic<int> progress{0};
        ASSERT_EQ(resampleImage({reinterpret_cast<const uint16_t*>(state.working->bits()), 1000, 750,
                                 state.working->stride()},
                                {reinterpret_cast<uint16_t*>(expected->bits()), 800, 600, expected->stride()},
                                work.data(), ResampleKernel::Cubic, {abort, progress, 1}),
                  ResampleResult::Done);
    }

    ContextInMode ctx(1);
    ASSERT_TRUE(prepareWorkingImage(ctx, state));
    EXPECT_EQ(ctx.statusCode, StatusCode::Preparing);
    EXPECT_TRUE(ctx.errorText.empty());
    EXPECT_EQ(ctx.decodedWidth, 1000);
    EXPECT_EQ(ctx.decodedHeight, 750);
    EXPECT_EQ(ctx.workingWidth, 800);
    EXPECT_EQ(ctx.workingHeight, 600);
    // The resampling brought the percentage to 60; the planes went on to
    // 60 + 599 * 40 / 600 at their last row.
    EXPECT_EQ(ctx.percent, 99);
    EXPECT_TRUE(samePixels(*state.working, *expected));
    expectPrepared(state, 800, 600);
}

TEST(PrepareWorkingImage, ImageInsideTheLimitIsKeptAsDecoded)
{
    for (int mode : {1, 0, 7, -2}) {
        SCOPED_TRACE(mode);
        PipelineState state;
        putSourcePair(state, 700, 500);
        const Bitmap* decoded = state.working.get();
        std::unique_ptr<Bitmap> original = Bitmap::create(700, 500, PixelFormat::Bgr48);
        std::memcpy(original->bits(), decoded->bits(), decoded->byteSize());

        ContextInMode ctx(mode);
        ASSERT_TRUE(prepareWorkingImage(ctx, state));
        EXPECT_EQ(state.working.get(), decoded);
        EXPECT_TRUE(samePixels(*state.working, *original));
        // No resampling: straight to the planes' 0..40.
        EXPECT_EQ(ctx.percent, 499 * 40 / 500);
        expectPrepared(state, 700, 500);
    }
}

TEST(PrepareWorkingImage, FullSizeAndUnknownModesKeepLargeImages)
{
    for (int mode : {0, 4}) {
        PipelineState state;
        putSourcePair(state, 2100, 40);
        ContextInMode ctx(mode);
        ASSERT_TRUE(prepareWorkingImage(ctx, state));
        EXPECT_EQ(state.width, 2100);
        EXPECT_EQ(state.height, 40);
    }
}

TEST(PrepareWorkingImage, AbortFailsWithoutTextAndLeavesOnlyTheSourcePair)
{
    // Aborted in the resampling (1000 x 750 in mode 1) and, without
    // resampling, before the planes (700 x 500).
    for (auto [width, height] : {std::pair{1000, 750}, std::pair{700, 500}}) {
        PipelineState state;
        putSourcePair(state, width, height);
        const Bitmap* decoded = state.working.get();
        state.abort = true;
        ContextInMode ctx(1);
        EXPECT_FALSE(prepareWorkingImage(ctx, state));
        EXPECT_TRUE(ctx.errorText.empty());
        EXPECT_EQ(state.working.get(), decoded);
        EXPECT_TRUE(state.source);
        EXPECT_FALSE(state.output);
        EXPECT_FALSE(state.panel);
        EXPECT_TRUE(state.luminance.empty());
        EXPECT_TRUE(state.pairs.empty());
        EXPECT_EQ(state.width, 0);
    }
}

TEST(PrepareWorkingImage, RefusesAMissingOrMismatchedSourcePair)
{
    PipelineState empty;
    ContextInMode ctx(1);
    EXPECT_FALSE(prepareWorkingImage(ctx, empty));

    PipelineState mismatched;
    putSourcePair(mismatched, 300, 200);
    mismatched.source = Bitmap::create(300, 199, PixelFormat::Bgr24);
    EXPECT_FALSE(prepareWorkingImage(ctx, mismatched));
    EXPECT_FALSE(mismatched.output);
}

TEST(PrepareWorkingImage, FillsTheWeightTables)
{
    PipelineState state;
    putSourcePair(state, 64, 48);
    ContextInMode ctx(0);
    ASSERT_TRUE(prepareWorkingImage(ctx, state));
    const float a = 65535.0f;
    const float b = a / 2;
    const auto entry = [&](int i, float factor) {
        return static_cast<float>((static_cast<double>(a) / (static_cast<double>(b) + i) - 1.0) * factor + 1.0);
    };
    for (int i = 0; i < 2 * 65536; ++i)
        ASSERT_EQ(state.firstWeightTable()[i], entry(i, 1.1f)) << i;
    for (int i = 0; i < 65536; ++i)
        ASSERT_EQ(state.secondWeightTable()[i], entry(i, 2.4f)) << i;
    EXPECT_NEAR(state.firstWeightTable()[0], 2.1, 1e-6);
    EXPECT_GT(state.firstWeightTable()[32767], 1.0f);
    EXPECT_LT(state.firstWeightTable()[32768], 1.0f);
    EXPECT_NEAR(state.firstWeightTable()[2 * 65536 - 1], 0.34, 1e-5);
    EXPECT_NEAR(state.secondWeightTable()[0], 3.4, 1e-6);
    EXPECT_NEAR(state.secondWeightTable()[65535], 0.2, 1e-5);
}

TEST(PrepareWorkingImage, PreparedStateStaysWithinItsMemoryBudget)
{
    // A 1280-pixel preview: bitmaps, planes and tables together.
    PipelineState state;
    putSourcePair(state, 1280, 853);
    ContextInMode ctx(0);
    ASSERT_TRUE(prepareWorkingImage(ctx, state));
    EXPECT_LE(static_cast<double>(workingImageBytes(state)) / state.pixelCount(), 56.0);
}

}  // namespace
}  // namespace qv
