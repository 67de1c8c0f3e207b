#include "imageio/exposure_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/kernels/simd.h"
#include "imageio/decode_file.h"
#include "imageio/image_io_context.h"
#include "support/pair_checks.h"
#include "support/simd_switch.h"
#include "support/test_data.h"

namespace qv {
namespace {

// The context and abort flag of one merge, with `workers` worker threads.
struct MergeRun {
    ImageIoContext ctx;
    std::atomic<bool> abort{false};

    explicit MergeRun(int workers = 3) { ctx.workerCount = workers; }
    bool operator()(std::vector<Exposure> exposures, Exposure& merged)
    {
        return mergeDecodedExposures(std::move(exposures), ctx, abort, merged);
    }
};

// Both bitmaps of a width x height exposure, black.
Exposure blankExposure(int width, int height, int bitDepth)
{
    Exposure e;
    e.image8 = Bitmap::create(width, height, PixelFormat::Bgr24);
    e.image16 = Bitmap::create(width, height, PixelFormat::Bgr48);
    e.bitDepth = bitDepth;
    return e;
}

using SampleFn = std::function<int(int x, int y, int c)>;

// A 48-bit exposure with its 8-bit twin of high bytes.
Exposure makeExposure(int width, int height, const SampleFn& sample, int bitDepth = 48)
{
    Exposure e = blankExposure(width, height, bitDepth);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                e.image16->row16(y)[3 * x + c] = static_cast<uint16_t>(std::clamp(sample(x, y, c), 0, 65535));
    copyHighBytes(*e.image16, *e.image8);
    return e;
}

template <class... Exposures>
std::vector<Exposure> listOf(Exposures&&... exposures)
{
    std::vector<Exposure> list;
    (list.push_back(std::move(exposures)), ...);
    return list;
}

Exposure copyOf(const Exposure& e)
{
    Exposure copy = blankExposure(e.image16->width(), e.image16->height(), e.bitDepth);
    std::memcpy(copy.image8->bits(), e.image8->bits(), e.image8->byteSize());
    std::memcpy(copy.image16->bits(), e.image16->bits(), e.image16->byteSize());
    return copy;
}

bool sameResult(const Exposure& a, const Exposure& b)
{
    return test::samePixels(*a.image16, *b.image16) && test::samePixels(*a.image8, *b.image8) && a.bitDepth == b.bitDepth;
}

// A still scene of colour gradients and fine texture, radiance 0..1, shot
// with exposure `gain` and clipped as a camera would.
SampleFn sceneAt(double gain, unsigned seed = 7)
{
    return [=](int x, int y, int c) {
        const double base = 0.02 + 0.9 * ((x * 7 + y * 3) % 97) / 97.0 * (0.6 + 0.2 * c);
        const double texture = ((x * 73856093u) ^ (y * 19349663u) ^ (c * 83492791u) ^ seed) % 1000 / 12500.0;
        return static_cast<int>(std::min((base * base + texture) * gain, 1.0) * 65535.0);
    };
}

// A frame of the shared test material through the program's decoders.
Exposure decodeTestFile(const std::string& name)
{
    ImageIoContext ctx;
    const std::atomic<bool> abort{false};
    Exposure e;
    EXPECT_TRUE(decodeFile(test::testDataPath(name), ctx, abort, e)) << name;
    e.bitDepth = ctx.bitDepth;
    return e;
}

Exposure merge(std::vector<Exposure> exposures, int workers = 3)
{
    MergeRun run(workers);
    Exposure merged;
    EXPECT_TRUE(run(std::move(exposures), merged)) << run.ctx.errorText;
    return merged;
}

uint16_t largestValue(const Bitmap& image16)
{
    uint16_t largest = 0;
    for (int y = 0; y < image16.height(); ++y)
        for (int i = 0; i < 3 * image16.width(); ++i)
            largest = std::max(largest, image16.row16(y)[i]);
    return largest;
}

TEST(ExposureMerge, IdenticalExposuresGiveTheImageStretchedToFullRange)
{
    const int width = 61, height = 37;
    // Grey, saturated and mixed colours, at most 40000.
    const SampleFn sample = [](int x, int y, int c) {
        const int grey = 300 + (x * 613 + y * 211) % 39000;
        return (x % 5 == 1) ? grey : std::min(40000, grey * (c + 1) / 3 + (y % 3) * 2000);
    };
    const Exposure original = makeExposure(width, height, sample);
    const double stretch = 65535.0 / largestValue(*original.image16);

    MergeRun run;
    Exposure merged;
    ASSERT_TRUE(run(listOf(copyOf(original), copyOf(original)), merged));
    EXPECT_TRUE(run.ctx.errorText.empty());
    EXPECT_GE(run.ctx.percent.load(), 66);  // two files and the merge: the last third
    EXPECT_LE(run.ctx.percent.load(), 100);
    ASSERT_EQ(merged.image16->width(), width);
    ASSERT_EQ(merged.image16->height(), height);
    EXPECT_EQ(merged.bitDepth, 48);

    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < 3 * width; ++i) {
            const int out = merged.image16->row16(y)[i];
            EXPECT_NEAR(out, original.image16->row16(y)[i] * stretch, 3.0) << "row " << y << " value " << i;
            EXPECT_EQ(merged.image8->row(y)[i], out >> 8);
        }
    }
    EXPECT_GE(largestValue(*merged.image16), 65534);
}

uint64_t checksum(const Bitmap& image)
{
    uint64_t sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int i = 0; i < 3 * image.width(); ++i) {
            const int v = image.format() == PixelFormat::Bgr48 ? image.row16(y)[i] : image.row(y)[i];
            sum = (sum * 31 + v) % (uint64_t(1) << 58);
        }
    return sum;
}

// Values from an independent double-precision evaluation of the merge (a
// separate script following the algorithm step by step) on three exposures
// of one integer-generated scene, listed mid, bright, dark, partly clipped.
TEST(ExposureMerge, MatchesIndependentReferenceToTheLastBit)
{
    const int width = 23, height = 19;
    const auto shot = [](int quarterGain) {
        return [quarterGain](int x, int y, int c) {
            const int base = (x * x * 13 + y * 29 + c * 7919 + x * y * 5) % 16000 + 100;
            return base * quarterGain / 4;
        };
    };
    for (bool simd : {false, true}) {
        const test::SimdSwitch loops(simd);
        MergeRun run;
        Exposure merged;
        ASSERT_TRUE(run(listOf(makeExposure(width, height, shot(5)), makeExposure(width, height, shot(17)),
                               makeExposure(width, height, shot(1))),
                        merged));
        const uint16_t* p = merged.image16->row16(9) + 33;
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{10051, 43619, 9292}));
        p = merged.image16->row16(18) + 66;
        EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{37745, 3560, 37045}));
        EXPECT_EQ(checksum(*merged.image16), 176409254982643593u);
        EXPECT_EQ(checksum(*merged.image8), 218341850238922723u);
    }
}

TEST(ExposureMerge, ResultDoesNotDependOnTheOrderOfTheList)
{
    const int width = 40, height = 33;
    const Exposure dark = makeExposure(width, height, sceneAt(0.3));
    const Exposure mid = makeExposure(width, height, sceneAt(1.2));
    const Exposure bright = makeExposure(width, height, sceneAt(4.0));

    const Exposure reference = merge(listOf(copyOf(dark), copyOf(mid), copyOf(bright)));
    EXPECT_TRUE(sameResult(merge(listOf(copyOf(bright), copyOf(mid), copyOf(dark))), reference));
    EXPECT_TRUE(sameResult(merge(listOf(copyOf(mid), copyOf(bright), copyOf(dark))), reference));
}

TEST(ExposureMerge, BrightnessSamplesEveryEighthRowAndColumn)
{
    // 17 x 9: sampled columns 0, 8, 16 and rows 0, 8.
    const Exposure e = makeExposure(17, 9, [](int x, int y, int c) { return ((x + y) % 2 ? 200 : 100 + c) << 8; });
    uint64_t sum = 0;
    ASSERT_TRUE(sampledBrightness(*e.image8, sum));
    EXPECT_EQ(sum, 6u * (100 + 101 + 102));
    e.image8->row(3)[3 * 5] = 255;  // not sampled
    e.image8->row(8)[3 * 16 + 2] = 2;
    ASSERT_TRUE(sampledBrightness(*e.image8, sum));
    EXPECT_EQ(sum, 6u * (100 + 101 + 102) - 100);
}

// Two exposures that differ only in a pixel the brightness sampling skips:
// their brightness is equal, so the first listed is taken as the darker one,
// and the darker exposure's value weighs at least half in the blend.
TEST(ExposureMerge, EqualBrightnessKeepsListOrder)
{
    const int width = 24, height = 20;
    const auto withPixel = [](int value) {
        return [value](int x, int y, int) {
            if (x == 1 && y == 1)
                return value;
            return x == 5 && y == 5 ? 50000 : 4000 + 600 * ((x + y) % 7);
        };
    };
    const Exposure low = makeExposure(width, height, withPixel(10000));
    const Exposure high = makeExposure(width, height, withPixel(30000));

    const Exposure lowFirst = merge(listOf(copyOf(low), copyOf(high)));
    const Exposure highFirst = merge(listOf(copyOf(high), copyOf(low)));
    for (int c = 0; c < 3; ++c) {
        const int lowLed = lowFirst.image16->row16(1)[3 + c];
        const int highLed = highFirst.image16->row16(1)[3 + c];
        EXPECT_LT(lowLed, highLed) << c;
        // The blend stays nearer to the leading exposure (50000 maps to 65535).
        EXPECT_LT(std::abs(lowLed - 10000 * 65535 / 50000), std::abs(lowLed - 30000 * 65535 / 50000));
        EXPECT_LT(std::abs(highLed - 30000 * 65535 / 50000), std::abs(highLed - 10000 * 65535 / 50000));
    }
    // Everywhere else the two inputs agree, and so do the results.
    EXPECT_EQ(lowFirst.image16->row16(0)[0], highFirst.image16->row16(0)[0]);
    EXPECT_EQ(lowFirst.image16->row16(5)[15], highFirst.image16->row16(5)[15]);
}

TEST(ExposureMerge, MismatchedSizesOrBitDepthsAreRefused)
{
    const SampleFn grey = [](int x, int y, int) { return 1000 * (x + y); };
    MergeRun turned, depths;
    Exposure merged;
    EXPECT_FALSE(turned(listOf(makeExposure(40, 30, grey), makeExposure(30, 40, grey)), merged));
    EXPECT_EQ(turned.ctx.errorText, kMergeMismatchText);
    EXPECT_FALSE(depths(listOf(makeExposure(40, 30, grey, 24), makeExposure(40, 30, grey, 48)), merged));
    EXPECT_EQ(depths.ctx.errorText, kMergeMismatchText);
    EXPECT_FALSE(merged.image16);
}

TEST(ExposureMerge, AllBlackInputsGiveBlack)
{
    const SampleFn black = [](int, int, int) { return 0; };
    const Exposure merged = merge(listOf(makeExposure(33, 17, black), makeExposure(33, 17, black)));
    ASSERT_TRUE(merged.image16);
    EXPECT_TRUE(sameResult(merged, blankExposure(33, 17, 48)));
}

TEST(ExposureMerge, AbortAndUnusableInputFailWithoutText)
{
    const int width = 40, height = 30;
    const Exposure dark = makeExposure(width, height, sceneAt(0.5));
    const Exposure bright = makeExposure(width, height, sceneAt(2.0));

    MergeRun aborted;
    aborted.abort = true;
    Exposure merged;
    EXPECT_FALSE(aborted(listOf(copyOf(dark), copyOf(bright)), merged));
    EXPECT_TRUE(aborted.ctx.errorText.empty());
    EXPECT_FALSE(merged.image16);

    // An exposure whose bitmap someone else holds cannot be read.
    for (bool lock8 : {true, false}) {
        MergeRun run;
        Exposure held = copyOf(bright);
        (lock8 ? held.image8 : held.image16)->tryLock();
        EXPECT_FALSE(run(listOf(copyOf(dark), std::move(held)), merged));
        EXPECT_TRUE(run.ctx.errorText.empty());
    }

    // One exposure is no merge; a record without its 8-bit twin is unusable.
    MergeRun single;
    EXPECT_FALSE(single(listOf(copyOf(dark)), merged));
    Exposure incomplete = copyOf(dark);
    incomplete.image8.reset();
    EXPECT_FALSE(single(listOf(copyOf(bright), std::move(incomplete)), merged));
    EXPECT_FALSE(merged.image16);
}

TEST(ExposureMerge, WorkerCountDoesNotChangeTheResult)
{
    const int width = 53, height = 29;
    const Exposure a = makeExposure(width, height, sceneAt(3.0, 1));
    const Exposure b = makeExposure(width, height, sceneAt(0.4, 2));
    const Exposure c = makeExposure(width, height, sceneAt(1.1, 3));
    const auto run = [&](int workers) { return merge(listOf(copyOf(a), copyOf(b), copyOf(c)), workers); };
    const Exposure single = run(1);
    EXPECT_TRUE(sameResult(run(3), single));
    EXPECT_TRUE(sameResult(run(20), single));
    EXPECT_TRUE(sameResult(run(height + 5), single));
}

// The AVX2 build of the blending gives the same bits as the plain one, on
// widths that leave partial vectors and chunks, and on real frames.
TEST(ExposureMerge, Avx2PathMatchesPlainPath)
{
    if (!avx2Enabled())
        GTEST_SKIP() << "no AVX2 on this processor";
    const auto mergeWith = [](const Exposure& dark, const Exposure& bright, bool simd) {
        const test::SimdSwitch loops(simd);
        return merge(listOf(copyOf(dark), copyOf(bright)), 2);
    };
    for (int width : {1, 5, 131}) {
        const Exposure dark = makeExposure(width, 9, sceneAt(0.3, width));
        const Exposure bright = makeExposure(width, 9, sceneAt(5.0, width + 1));
        EXPECT_TRUE(sameResult(mergeWith(dark, bright, false), mergeWith(dark, bright, true))) << width;
    }
    const Exposure dark = decodeTestFile("bracket_arch_1_0.033s.jpg");
    const Exposure bright = decodeTestFile("bracket_arch_3_2.5s.jpg");
    ASSERT_TRUE(dark.image16 && bright.image16);
    EXPECT_TRUE(sameResult(mergeWith(dark, bright, false), mergeWith(dark, bright, true)));
}

// --- The real bracket: four frames of a night scene, 1/30 s to 15 s. ---

double luminance(const uint16_t* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; }

TEST(ExposureMerge, RealBracketLiftsShadowsAndKeepsHighlights)
{
    const char* names[] = {"bracket_arch_3_2.5s.jpg", "bracket_arch_1_0.033s.jpg", "bracket_arch_4_15s.jpg",
                           "bracket_arch_2_0.25s.jpg"};
    std::vector<Exposure> frames;
    for (const char* name : names) {
        frames.push_back(decodeTestFile(name));
        ASSERT_TRUE(frames.back().image16) << name;
    }
    const Exposure darkest = copyOf(frames[1]);
    const Exposure brightest = copyOf(frames[2]);
    const Exposure merged = merge(std::move(frames), 2);
    ASSERT_TRUE(merged.image16);
    const int width = merged.image16->width(), height = merged.image16->height();

    // Statistics over the darkest frame's shadows and the brightest frame's
    // clipped highlights (any channel at 255).
    double shadowsBefore = 0, shadowsAfter = 0;
    long shadowPixels = 0, clippedInDarkest = 0, clippedInMerged = 0, clippedInBrightest = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint16_t* d = darkest.image16->row16(y) + 3 * x;
            const uint16_t* b = brightest.image16->row16(y) + 3 * x;
            const uint16_t* m = merged.image16->row16(y) + 3 * x;
            if (luminance(d) < 16 * 256) {
                ++shadowPixels;
                shadowsBefore += luminance(d);
                shadowsAfter += luminance(m);
            }
            const auto clipped = [](const uint16_t* p, int limit) {
                return std::max({p[0], p[1], p[2]}) >= limit;
            };
            clippedInDarkest += clipped(d, 255 << 8);
            clippedInBrightest += clipped(b, 255 << 8);
            clippedInMerged += clipped(m, 65535 - 255);
        }
    }
    EXPECT_GE(largestValue(*merged.image16), 65534);
    ASSERT_GT(shadowPixels, width * height / 10);
    // A night scene: the shadows come up by more than a factor of ten on average.
    EXPECT_GT(shadowsAfter, 10.0 * shadowsBefore);
    // Highlights clipped in the brightest frame are recovered from the darker ones.
    EXPECT_LT(clippedInMerged, clippedInBrightest / 10);
    EXPECT_LE(clippedInMerged, std::max(clippedInDarkest, 50L));
}

}  // namespace
}  // namespace qv
