#include "engine/stages/detail/detail_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <vector>

#include "engine/kernels/pair_means.h"
#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/stages/detail/detail_spreading.h"
#include "support/photo_planes.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/test_data.h"

namespace qv {
namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> luma;
};

// Smooth ramps with noise: trackers and spreads both move and stop.
Image texturedImage(int w, int h, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-3000, 3000);
    Image img{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.luma.push_back(uint16_t(std::clamp(20000 + 900 * x - 400 * y + noise(rng), 0, 65535)));
    return img;
}

// The luminance of a photo of the shared material, `width` pixels wide (0:
// as stored), as the loader derives it; optionally a block of it.
Image photoLuma(const char* name, int width = 0)
{
    test::PhotoPlanes photo = test::loadPhotoPlanesFile(test::testDataPath(name), width);
    return {photo.width, photo.height, std::move(photo.luma)};
}

Image cropped(const Image& img, int x0, int y0, int w, int h)
{
    return img.luma.empty() ? Image{} : Image{w, h, test::cropPlane(img.luma, img.width, x0, y0, w, h)};
}

struct Result {
    bool ok = false;
    std::vector<uint16_t> detail;
};

Result extract(const Image& img, int details, int workers, DetailSpreading spreading = fastDetailSpreading(),
               std::atomic<bool>* abortFlag = nullptr, int multiScale = -1)
{
    const std::size_t n = img.luma.size();
    ProcessingContext ctx;
    ctx.workerCount = workers;
    ctx.current.Details = uint16_t(details);
    ctx.multiScale = multiScale;
    std::atomic<bool> noAbort{false};
    std::vector<uint32_t> envelope(n);
    std::vector<uint16_t> values(n), columnLuminance(n);
    Result r;
    r.detail.assign(n, 0);
    const DetailPlanes planes{img.luma.data(), r.detail.data(), envelope.data(), values.data(),
                              columnLuminance.data()};
    r.ok = extractDetails(ctx, abortFlag ? *abortFlag : noAbort, planes, img.width, img.height, spreading);
    return r;
}

// The stage written out step by step, single-threaded, walking every line
// and every spread pixel by pixel.
std::vector<uint16_t> literalDetails(const Image& img, int details, int multiScale = -1)
{
    const int w = img.width, h = img.height, t = (32 - 3 * details) * 256;
    const int radius = std::max(std::max(w, h) * 3 / 100, 1);
    const auto& L = img.luma;
    std::vector<uint32_t> E(L.size()), sum(L.size()), cnt(L.size());
    auto at = [w](int x, int y) { return std::size_t(y) * w + x; };

    auto track = [&](int x, int y, int dx, int dy, auto combine) {
        int s = L[at(x, y)];
        for (; x >= 0 && x < w && y >= 0 && y < h; x += dx, y += dy) {
            const int l = L[at(x, y)];
            if (l > s + t)
                s = l - t;
            else if (l < s - t)
                s = l + t;
            E[at(x, y)] = combine(E[at(x, y)], uint32_t(s));
        }
    };
    auto set = [](uint32_t, uint32_t s) { return s; };
    auto add = [](uint32_t e, uint32_t s) { return e + s; };
    auto add2 = [](uint32_t e, uint32_t s) { return e + 2 * s; };
    auto finish = [](uint32_t e, uint32_t s) { return (e + s) / 8; };
    for (int y = 1; y < h; ++y) track(0, y, 1, 1, set);
    for (int x = 0; x < w; ++x) track(x, 0, 1, 1, set);
    for (int y = 0; y < h - 1; ++y) track(w - 1, y, -1, -1, add);
    for (int x = 0; x < w; ++x) track(x, h - 1, -1, -1, add);
    for (int y = 0; y < h; ++y) track(0, y, 1, 0, add2);
    for (int y = 0; y < h; ++y) track(w - 1, y, -1, 0, add2);
    for (int y = 0; y < h - 1; ++y) track(0, y, 1, -1, add);
    for (int x = 0; x < w; ++x) track(x, h - 1, 1, -1, add);
    for (int y = 1; y < h; ++y) track(w - 1, y, -1, 1, finish);
    for (int x = 0; x < w; ++x) track(x, 0, -1, 1, finish);

    auto spread = [&](int x, int y, int dx, int dy, int k, int m) {
        for (; k > 0; --k, x += dx, y += dy) {
            const std::size_t q = at(x, y);
            const int l = L[q];
            ++cnt[q];
            if (l > m + t) { sum[q] += (3 * l - 2 * t) / 3; return; }
            if (l < m - t) { sum[q] += (3 * l + 2 * t) / 3; return; }
            sum[q] += m;
        }
    };
    auto vertical = [&](int up, int down, bool blend) {
        for (int x = 0; x < w; ++x) {
            for (int i = 0; blend && i < h; ++i) {
                const std::size_t q = at(x, i);
                if (cnt[q] != 0) {
                    E[q] = (sum[q] / cnt[q] + E[q]) >> 1;
                    sum[q] = cnt[q] = 0;
                }
            }
            for (int i = 0; i < h; ++i) {
                spread(x, i - 1, 0, -1, std::min(i, up), int(E[at(x, i)]));
                spread(x, i, 0, 1, std::min(down, h - i), int(E[at(x, i)]));
            }
        }
    };
    auto horizontal = [&](int reach) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t q = at(x, y);
                if (cnt[q] != 0) {
                    E[q] = sum[q] / cnt[q];
                    sum[q] = cnt[q] = 0;
                }
            }
            for (int x = 0; x < w; ++x) {
                spread(x - 1, y, -1, 0, std::min(x, reach + 1), int(E[at(x, y)]));
                spread(x, y, 1, 0, std::min(reach + 1, w - x), int(E[at(x, y)]));
            }
        }
    };
    vertical(radius, radius + 1, false);
    horizontal(radius);
    for (int r = radius; (r & multiScale) != 0;) {
        r /= 3;
        const int r1 = std::max(r, 1);
        vertical(r1 + 1, r1 + 1, true);
        horizontal(r1);
    }

    std::vector<uint16_t> D(L.size());
    const float k = 65535.0f / float(2 * t);
    for (std::size_t q = 0; q < L.size(); ++q) {
        const float mean = float(sum[q]) / float(cnt[q]);
        D[q] = uint16_t(std::clamp(int((float(L[q]) - mean + float(t)) * k), 0, 65535));
    }
    return D;
}

std::optional<DetailParams> paramsOf(int width, int height, int valueScale, int details)
{
    ToneSettings s;
    s.Details = static_cast<uint16_t>(details);
    return DetailParams::from(s, width, height, valueScale, -1);
}

TEST(DetailExtraction, DerivedConstants)
{
    EXPECT_EQ(paramsOf(100, 100, 65536, 0)->tolerance, 8192);
    EXPECT_EQ(paramsOf(100, 100, 65536, 5)->tolerance, 4352);
    EXPECT_EQ(paramsOf(100, 100, 65536, 9)->tolerance, 1280);
    EXPECT_EQ(paramsOf(4000, 3000, 65536, 5)->radius, 120);
    EXPECT_EQ(paramsOf(5, 300, 65536, 5)->radius, 9);
    EXPECT_EQ(paramsOf(1, 1, 65536, 5)->radius, 1);
}

TEST(DetailExtraction, RejectsBadInput)
{
    EXPECT_FALSE(paramsOf(10, 10, 65536, 10));      // Details out of range
    EXPECT_FALSE(paramsOf(10, 10, 0, 5));           // no thresholds without a value scale
    EXPECT_FALSE(paramsOf(0, 10, 65536, 5));
    EXPECT_FALSE(paramsOf(2'000'000, 1, 65536, 5)); // sums would overflow 32 bits

    // The pipeline entry checks that the scratch planes fit the image.
    ProcessingContext ctx;
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(20, 10));
    state.height = 11;
    EXPECT_FALSE(runDetailExtractionStage(ctx, state, state.luminancePlane(), state.detail.as<uint16_t>()));
    state.height = 10;
    EXPECT_FALSE(runDetailExtractionStage(ctx, state, state.luminancePlane(), nullptr));
    EXPECT_TRUE(runDetailExtractionStage(ctx, state, state.luminancePlane(), state.detail.as<uint16_t>()));

    // So does the entry on explicit planes, for each plane left out.
    const std::size_t n = state.pixelCount();
    std::vector<uint16_t> detail(n), values(n), columns(n);
    std::vector<uint32_t> envelope(n);
    const DetailPlanes all{state.luminancePlane(), detail.data(), envelope.data(), values.data(), columns.data()};
    std::atomic<bool> noAbort{false};
    EXPECT_TRUE(extractDetails(ctx, noAbort, all, 20, 10, fastDetailSpreading()));
    for (auto leaveOut : {+[](DetailPlanes& p) { p.luminance = nullptr; }, +[](DetailPlanes& p) { p.detail = nullptr; },
                          +[](DetailPlanes& p) { p.envelope = nullptr; }, +[](DetailPlanes& p) { p.values = nullptr; },
                          +[](DetailPlanes& p) { p.columnLuminance = nullptr; }}) {
        DetailPlanes planes = all;
        leaveOut(planes);
        EXPECT_FALSE(extractDetails(ctx, noAbort, planes, 20, 10, fastDetailSpreading()));
    }
}

// A pixel equal to its local mean maps to mid-grey: T * 65535 / 2T truncated.
TEST(DetailExtraction, FlatImageIsMidGreyEverywhere)
{
    const int sizes[][2] = {{37, 23}, {1, 1}, {5, 300}, {300, 5}, {2, 1}};
    for (auto [w, h] : sizes)
        for (uint16_t level : {uint16_t(0), uint16_t(3000), uint16_t(65535)})
            for (int details : {0, 5, 9}) {
                ProcessingContext ctx;
                ctx.current.Details = uint16_t(details);
                PipelineState state;
                ASSERT_TRUE(state.allocatePlanes(w, h));
                std::fill_n(state.luminancePlane(), state.pixelCount(), level);
                ASSERT_TRUE(pipelineStages().detail(ctx, state, state.luminancePlane(), state.detail.as<uint16_t>()));
                const uint16_t* d = state.detail.as<uint16_t>();
                EXPECT_TRUE(std::all_of(d, d + state.pixelCount(), [](uint16_t v) { return v == 32767; }))
                    << w << "x" << h << " level " << level << " details " << details;
            }
}

// Left of the step the values lie more than 2T below everything right of
// it, so neither trackers nor spreads carry a value across: each side's
// detail depends on its own luminance only, not on the other side's level.
TEST(DetailExtraction, StepEdgeIsNotSmearedAcross)
{
    const int w = 61, h = 41, edge = 27;
    auto stepImage = [&](int left, int right) {
        Image img = texturedImage(w, h, 7);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint16_t& v = img.luma[std::size_t(y) * w + x];
                v = uint16_t((x < edge ? left : right) + v % 1000);
            }
        return img;
    };
    auto side = [&](const Result& r, bool left) {
        std::vector<uint16_t> out;
        for (int y = 0; y < h; ++y)
            for (int x = left ? 0 : edge; x < (left ? edge : w); ++x)
                out.push_back(r.detail[std::size_t(y) * w + x]);
        return out;
    };
    const Result base = extract(stepImage(5000, 30000), 5, 3);
    const Result higherRight = extract(stepImage(5000, 50000), 5, 3);
    const Result higherLeft = extract(stepImage(15000, 30000), 5, 3);
    ASSERT_TRUE(base.ok && higherRight.ok && higherLeft.ok);
    EXPECT_EQ(side(base, true), side(higherRight, true));
    EXPECT_EQ(side(base, false), side(higherLeft, false));
    // The pixels at the edge keep detail of their own instead of being
    // driven to black or white by the other side.
    for (int y = 0; y < h; ++y)
        for (int x : {edge - 1, edge}) {
            const uint16_t d = base.detail[std::size_t(y) * w + x];
            EXPECT_GT(d, 0);
            EXPECT_LT(d, 65535);
        }
}

TEST(DetailExtraction, MatchesTheLiteralStageForAnyWorkerCount)
{
    const int sizes[][2] = {{37, 23}, {1, 1}, {5, 300}, {300, 5}, {64, 9}, {2, 3}};
    for (auto [w, h] : sizes) {
        const Image img = texturedImage(w, h, unsigned(w * 1000 + h));
        for (int details : {0, 5, 9}) {
            const std::vector<uint16_t> expected = literalDetails(img, details);
            for (int workers : {1, 3, 20}) {
                for (SimdLevel level : test::kEverySimdLevel) {
                    const test::SimdSwitch loops(level);
                    const Result r = extract(img, details, workers);
                    ASSERT_TRUE(r.ok);
                    EXPECT_EQ(r.detail, expected) << w << "x" << h << " details " << details << " workers "
                                                  << workers << " simd level " << static_cast<int>(level);
                }
            }
        }
    }
}

// A radius past the strip walk's reach: the first round spreads the columns
// as lines, from the luminance the strip walk of the later rounds keeps
// strip after strip.
TEST(DetailExtraction, LongColumnsAreSearchedFirstAndWalkedAfter)
{
    const Image img = texturedImage(40, 3800, 7);  // radius 114
    const std::vector<uint16_t> expected = literalDetails(img, 5);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        const Result r = extract(img, 5, 3);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.detail, expected) << "simd level " << static_cast<int>(level);
    }
}

// The refinement rounds run while the radius shares a bit with the mask.
TEST(DetailExtraction, MultiScaleMaskSelectsTheRounds)
{
    const Image img = texturedImage(200, 70, 5);  // radius 6: rounds at 2, then 1 while allowed
    for (int mask : {0, 1, 2, 4, 6, -1}) {
        const Result r = extract(img, 5, 3, fastDetailSpreading(), nullptr, mask);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.detail, literalDetails(img, 5, mask)) << "mask " << mask;
    }
}

TEST(DetailExtraction, MatchesTheLiteralStageOnPhotos)
{
    const Image images[] = {
        cropped(photoLuma("photo_architecture_nagoya_castle.jpg"), 700, 300, 331, 237),
        photoLuma("photo_backlit_dome_interior.jpg", 480),
        photoLuma("edge_tiny_15x200.png"),
    };
    for (const Image& img : images) {
        ASSERT_FALSE(img.luma.empty());
        for (int details : {0, 9}) {
            const Result fast = extract(img, details, 3);
            ASSERT_TRUE(fast.ok);
            EXPECT_EQ(fast.detail, literalDetails(img, details)) << img.width << "x" << img.height;
        }
    }
}

// Larger photos, where the radius is large and the runs long: the fast
// spreading, with and without vector instructions, must give exactly the
// literal one's details, and exactly its sums and counts along every row at
// the first round's reach.
TEST(DetailExtraction, FastSpreadingMatchesLiteralSpreadingOnPhotos)
{
    const Image images[] = {
        photoLuma("photo_landscape_moraine_lake.jpg", 960),
        cropped(photoLuma("photo_night_street_shop.jpg"), 1500, 900, 1100, 700),
        cropped(photoLuma("photo_night_street_shop.jpg"), 0, 1400, 2400, 24),  // radius 72
    };
    for (const Image& img : images) {
        ASSERT_FALSE(img.luma.empty());
        const Result fast = extract(img, 5, 3, fastDetailSpreading());
        const Result plain = extract(img, 5, 3, spreadLinePlain);
        const Result literal = extract(img, 5, 3, spreadLineLiteral);
        ASSERT_TRUE(fast.ok && plain.ok && literal.ok);
        EXPECT_EQ(fast.detail, literal.detail);
        EXPECT_EQ(plain.detail, literal.detail);

        const int reach = std::max(img.width, img.height) * 3 / 100 + 1;
        SpreadScratch scratch;
        ASSERT_TRUE(scratch.reserve(img.width, reach));
        std::vector<uint32_t> literalPairs(2 * img.width), fastPairs(2 * img.width), plainPairs(2 * img.width);
        for (int y = 0; y < img.height; ++y) {
            const uint16_t* luma = img.luma.data() + std::size_t(y) * img.width;
            const std::vector<uint16_t> values(luma, luma + img.width);
            const SpreadLine line{luma, values.data(), img.width};
            spreadLineLiteral(line, {reach, reach}, 4352, scratch, literalPairs.data());
            fastLineSpreading()(line, {reach, reach}, 4352, scratch, fastPairs.data());
            spreadLinePlain(line, {reach, reach}, 4352, scratch, plainPairs.data());
            ASSERT_EQ(fastPairs, literalPairs) << img.width << "x" << img.height << " row " << y;
            ASSERT_EQ(plainPairs, literalPairs) << img.width << "x" << img.height << " row " << y;
        }
    }
}

// Lines with values on and just beyond the band edges, reaches from 0 to
// beyond the line, lines of 1 and 2 pixels; scratch sized for each line, and
// one sized for the longest, as a worker's serves its rows and columns.
TEST(DetailSpreading, FastMatchesLiteralOnEdgeCases)
{
    std::mt19937 rng(42);
    // Short reaches are walked where the processor allows, longer ones
    // searched; with vectors off, everything is searched.
    const SpreadReach reaches[] = {{0, 1}, {1, 1}, {1, 2}, {2, 1}, {5, 6}, {31, 31}, {40, 41}, {60, 7}, {400, 400}};
    SpreadScratch shared;
    ASSERT_TRUE(shared.reserve(300, 400));
    for (int length : {1, 2, 3, 7, 33, 300})
        for (int tolerance : {1, 1280, 8192})
            for (int pattern = 0; pattern < 4; ++pattern) {
                std::vector<uint16_t> luma(length);
                std::vector<uint16_t> values(length);
                std::uniform_int_distribution<int> offset(-tolerance - 2, tolerance + 2);
                for (int i = 0; i < length; ++i) {
                    switch (pattern) {
                    case 0: luma[i] = uint16_t(rng()); break;                     // anything
                    case 1: luma[i] = uint16_t(30000 + (i % 5) * tolerance); break; // steps of T
                    case 2: luma[i] = uint16_t(i < length / 2 ? 0 : 65535); break;  // extremes
                    default: luma[i] = uint16_t(40000 + offset(rng)); break;        // around one level
                    }
                    values[i] = uint16_t(std::clamp(int(luma[i]) + offset(rng), 0, 65535));
                }
                for (SpreadReach reach : reaches) {
                    SpreadScratch scratch;
                    ASSERT_TRUE(scratch.reserve(length, std::max(reach.back, reach.forward)));
                    std::vector<uint32_t> fast(2 * length), plain(2 * length), literal(2 * length);
                    const SpreadLine line{luma.data(), values.data(), length};
                    spreadLineLiteral(line, reach, tolerance, scratch, literal.data());
                    for (bool vectors : {true, false})
                        for (SpreadScratch* used : {&scratch, &shared}) {
                            const LineSpreadFn spread = test::pickedWith(vectors, fastLineSpreading);
                            spread(line, reach, tolerance, *used, fast.data());
                            ASSERT_EQ(fast, literal) << "length " << length << " tolerance " << tolerance
                                                     << " pattern " << pattern << " reach " << reach.back << "/"
                                                     << reach.forward << " vectors " << vectors << " shared "
                                                     << (used == &shared);
                        }
                    spreadLinePlain(line, reach, tolerance, scratch, plain.data());
                    ASSERT_EQ(plain, literal);
                }
            }
}

// Long lines at the reaches of large images. The fast spreading starts each
// search where the neighbouring spread stopped when everything before that
// lies within the band: plateaus, spikes, ramps (runs of one length longer
// than a scan) and noise make that shortcut hold, fail, and hold only up to
// the reach; the spread values wander around the luminance so that
// neighbouring bands differ. The length leaves a short last block and a
// part-filled last vector in the per-block extents.
TEST(DetailSpreading, FastMatchesLiteralAtLongReaches)
{
    std::mt19937 rng(7);
    const int length = 1501;
    for (int tolerance : {1280, 4352, 8192})
        for (int pattern = 0; pattern < 5; ++pattern) {
            std::vector<uint16_t> luma(length);
            int level = 30000;
            for (int i = 0; i < length; ++i) {
                switch (pattern) {
                case 0: luma[i] = 30000; break;                                           // flat
                case 1: luma[i] = uint16_t(rng() % 97 == 0 ? 30000 + 2 * tolerance : 30000); break; // spikes
                case 2:                                                                   // plateaus
                    if (rng() % 150 == 0)
                        level = std::clamp(level + int(rng() % (4 * tolerance)) - 2 * tolerance, 0, 65535);
                    luma[i] = uint16_t(level);
                    break;
                case 3: luma[i] = uint16_t(10000 + i * tolerance / 40); break;             // ramp
                default: luma[i] = uint16_t(30000 + int(rng() % (3 * tolerance))); break; // noise
                }
            }
            for (int spreadOffset : {0, tolerance / 2}) {
                std::vector<uint16_t> values(length);
                for (int i = 0; i < length; ++i) {
                    const int offset = spreadOffset ? int(rng() % (2 * spreadOffset + 1)) - spreadOffset : 0;
                    values[i] = uint16_t(std::clamp(int(luma[i]) + offset, 0, 65535));
                }
                for (SpreadReach reach : {SpreadReach{41, 42}, SpreadReach{121, 121}, SpreadReach{181, 182},
                                          SpreadReach{361, 361}, SpreadReach{length, length}}) {
                    SpreadScratch scratch;
                    ASSERT_TRUE(scratch.reserve(length, std::max(reach.back, reach.forward)));
                    const SpreadLine line{luma.data(), values.data(), length};
                    std::vector<uint32_t> literal(2 * length), fast(2 * length), plain(2 * length);
                    spreadLineLiteral(line, reach, tolerance, scratch, literal.data());
                    spreadLine(line, reach, tolerance, scratch, fast.data());
                    spreadLinePlain(line, reach, tolerance, scratch, plain.data());
                    EXPECT_EQ(fast, literal) << "pattern " << pattern << " tolerance " << tolerance << " offset "
                                             << spreadOffset << " reach " << reach.back;
                    EXPECT_EQ(plain, literal);
                    // And what each vector level picks: walks, the block search.
                    for (SimdLevel level : test::kEverySimdLevel) {
                        test::pickedWith(level, fastLineSpreading)(line, reach, tolerance, scratch, fast.data());
                        EXPECT_EQ(fast, literal) << "pattern " << pattern << " tolerance " << tolerance
                                                 << " reach " << reach.back << " simd level " << static_cast<int>(level);
                    }
                }
            }
        }
}

// The vector means against integer division: sums up to the 32-bit limit,
// counts from 1 up, quotients just below and at whole numbers, odd lengths.
TEST(PairMeans, VectorDivisionMatchesIntegerDivision)
{
    std::mt19937 rng(5);
    for (const int n : {1, 3, 4, 9, 1001}) {
        std::vector<uint32_t> pairs(2 * n);
        for (int i = 0; i < n; ++i) {
            const uint32_t count = 1 + rng() % 65537;
            const uint64_t mean = std::min<uint64_t>(rng() % 65536, UINT32_MAX / count);
            // Exactly divisible, one below, or anything up to the limit.
            const uint64_t sums[] = {mean * count, mean * count + count - 1, std::min<uint64_t>(mean * count + rng() % count, UINT32_MAX)};
            pairs[2 * i] = uint32_t(i == 0 ? UINT32_MAX : sums[rng() % 3]);
            pairs[2 * i + 1] = i == 0 ? 65537 : count;
        }
        std::vector<uint16_t> start(n);
        for (uint16_t& v : start)
            v = uint16_t(rng());
        for (SimdLevel level : test::kEverySimdLevel) {
            const test::SimdSwitch loops(level);
            std::vector<uint16_t> fast(n), plain(n);
            meansOfPairs(pairs.data(), fast.data(), n);
            meansOfPairsPlain(pairs.data(), plain.data(), n);
            EXPECT_EQ(fast, plain) << n;
            fast = plain = start;
            averageWithMeans(pairs.data(), fast.data(), n);
            averageWithMeansPlain(pairs.data(), plain.data(), n);
            EXPECT_EQ(fast, plain) << n << " simd level " << static_cast<int>(level);
        }
    }
}

// A mean beyond 16 bits is stored as 65535 wherever it falls: in a vector
// loop (eight or sixteen at a time, in single or double precision) or in
// the plain loop after it (the last ones): sixteen pairs with sums below
// 2^24, then nine with larger ones among them.
TEST(PairMeans, MeansBeyond16BitsAreLimited)
{
    std::vector<uint32_t> pairs;
    std::vector<uint16_t> limited, averaged;
    for (int i = 0; i < 4; ++i) {
        pairs.insert(pairs.end(), {65536, 1, 70000, 1, 131071, 2, (1u << 24) - 1, 1});
        limited.insert(limited.end(), {65535, 65535, 65535, 65535});
        averaged.insert(averaged.end(), {33268, 35500, 33267, 65535});
    }
    pairs.insert(pairs.end(), {65536, 1, 70000, 1, 1u << 24, 1, INT32_MAX, 1, 65535, 1, 0, 1, UINT32_MAX, 2, 131071,
                               2, 70000, 1});
    limited.insert(limited.end(), {65535, 65535, 65535, 65535, 65535, 0, 65535, 65535, 65535});
    averaged.insert(averaged.end(), {33268, 35500, 65535, 65535, 33267, 500, 65535, 33267, 35500});
    const int n = static_cast<int>(pairs.size() / 2);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        for (bool vectors : {true, false}) {
            std::vector<uint16_t> out(n);
            (vectors ? meansOfPairs : meansOfPairsPlain)(pairs.data(), out.data(), n);
            EXPECT_EQ(out, limited) << vectors << " simd level " << static_cast<int>(level);
            out.assign(n, 1000);
            (vectors ? averageWithMeans : averageWithMeansPlain)(pairs.data(), out.data(), n);
            EXPECT_EQ(out, averaged) << vectors << " simd level " << static_cast<int>(level);
        }
    }
}

// Sums below 2^24 take the single-precision division: quotients just below
// a whole number, for every count the spreading can give and beyond, with
// sums up to the limit, one and two steps over it (the first single
// precision cannot hold), and mixed in one vector, wherever the mean stays
// within 16 bits; then whole vectors of such sums over counts that single
// precision cannot hold either.
TEST(PairMeans, SinglePrecisionQuotientsAreExact)
{
    constexpr uint32_t kLimit = 1u << 24;
    std::vector<uint32_t> pairs;
    for (uint32_t count = 1; count <= 1100; ++count)
        for (uint32_t sum : {kLimit - 1, (kLimit - 1) / count * count - 1, (kLimit - 1) / count * count, count - 1,
                             kLimit, kLimit + 1, 65535 * count - 1})
            if (sum / count <= 65535)
                pairs.insert(pairs.end(), {sum, count});
    // The large counts below fill whole loops of eight and of sixteen pairs.
    while (pairs.size() % 32 != 0)
        pairs.insert(pairs.end(), {0, 1});
    for (uint32_t count : {kLimit - 1, kLimit, kLimit + 1, uint32_t{INT32_MAX}})
        for (uint32_t sum : {kLimit - 1, kLimit - 2, 1u, 0u})
            pairs.insert(pairs.end(), {sum, count});
    const int n = static_cast<int>(pairs.size() / 2);
    std::vector<uint16_t> plain(n);
    meansOfPairsPlain(pairs.data(), plain.data(), n);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        std::vector<uint16_t> fast(n);
        meansOfPairs(pairs.data(), fast.data(), n);
        EXPECT_EQ(fast, plain) << "simd level " << static_cast<int>(level);
    }
}

// Sets the abort flag after a number of spread lines, i.e. in the middle of
// the spreading passes.
std::atomic<bool>* abortTarget = nullptr;
std::atomic<int> linesBeforeAbort{0};

void spreadThenAbort(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    spreadLine(line, reach, tolerance, scratch, pairs);
    if (linesBeforeAbort.fetch_sub(1) == 1)
        abortTarget->store(true);
}

TEST(DetailExtraction, AbortInTheSpreadingEndsTheStageWithFailure)
{
    const Image img = texturedImage(120, 90, 3);
    std::atomic<bool> abort{false};
    abortTarget = &abort;
    linesBeforeAbort = 150;
    EXPECT_FALSE(extract(img, 5, 3, spreadThenAbort, &abort).ok);
    EXPECT_TRUE(abort.load());

    // Nothing of the aborted run lingers in the next one.
    abort = false;
    const Result rerun = extract(img, 5, 3, fastDetailSpreading(), &abort);
    ASSERT_TRUE(rerun.ok);
    EXPECT_EQ(rerun.detail, literalDetails(img, 5));
}

}  // namespace
}  // namespace qv
