#include "engine/stages/smoothing/smoothing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/stages/smoothing/smoothing_disc.h"
#include "support/photo_planes.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/test_data.h"
#include "text/status_codes.h"

namespace qv {
namespace {

using Plane = std::vector<uint16_t>;

struct Smoothed {
    bool ok = false;
    Plane out;
    StatusCode status = StatusCode::None;
};

SmoothingParams paramsAt(int strength)
{
    ToneSettings s;
    s.Smoothing = static_cast<uint16_t>(strength);
    return SmoothingParams::from(s, 65536).value();
}

Smoothed smooth(const Plane& in, int w, int h, int strength, WalkMethod method, int workers = 3)
{
    ProcessingContext ctx;
    ctx.workerCount = workers;
    ctx.current.Smoothing = static_cast<uint16_t>(strength);
    std::atomic<bool> abort{false};
    Smoothed r;
    r.out.assign(in.size(), 0);
    Plane scratch(in.size());
    r.ok = runSmoothing(ctx, abort, w, h, in.data(), r.out.data(), scratch.data(), method);
    r.status = ctx.statusCode.load();
    return r;
}

// Every fast method, on every level of vector loops, gives exactly the
// literal result.
void expectMethodsAgree(const Plane& in, int w, int h, int strength)
{
    const Smoothed literal = smooth(in, w, h, strength, WalkMethod::Literal);
    ASSERT_TRUE(literal.ok);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        const Smoothed fast = smooth(in, w, h, strength, WalkMethod::Shortcut);
        ASSERT_TRUE(fast.ok);
        ASSERT_EQ(fast.out, literal.out) << w << "x" << h << " strength " << strength << " level "
                                         << static_cast<int>(level);
    }
}

TEST(SmoothingDisc, RadiusIsTheLongerSideOver75AtLeast2)
{
    EXPECT_EQ(smoothingDiscRadius(1600, 1200), 21);
    EXPECT_EQ(smoothingDiscRadius(1200, 1600), 21);
    EXPECT_EQ(smoothingDiscRadius(100, 100), 2);
    EXPECT_EQ(smoothingDiscRadius(1, 1), 2);
    EXPECT_EQ(smoothingDiscRadius(300, 20), 4);
}

TEST(SmoothingDisc, NearestFirstAndTiesInRowOrder)
{
    const SmoothingDisc small = buildSmoothingDisc(2);
    const std::vector<std::pair<int, int>> expected = {
        {0, 0}, {0, -1}, {-1, 0}, {1, 0}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}, {0, -2}, {-2, 0}, {2, 0}, {0, 2}};
    ASSERT_EQ(small.entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(small.entries[i].dx, expected[i].first) << i;
        EXPECT_EQ(small.entries[i].dy, expected[i].second) << i;
    }
    EXPECT_EQ(small.entries[5].key, 22);  // sqrt(2) * 16, truncated
    // 13 entries: the first pass walks entries 1 and 2.
    ASSERT_EQ(small.firstPass().size(), 2u);
    EXPECT_EQ(small.firstPass()[0].dy, -1);
    EXPECT_EQ(small.secondPass().size(), 12u);

    const SmoothingDisc large = buildSmoothingDisc(21);
    const auto& e = large.entries;
    EXPECT_EQ(large.firstPass().size(), e.size() / 4 - 1);
    for (std::size_t i = 1; i < e.size(); ++i) {
        ASSERT_LE(e[i - 1].key, e[i].key);
        if (e[i - 1].key == e[i].key) {
            ASSERT_TRUE(e[i - 1].dy < e[i].dy || (e[i - 1].dy == e[i].dy && e[i - 1].dx < e[i].dx)) << i;
        }
        ASSERT_LE(e[i].dx * e[i].dx + e[i].dy * e[i].dy, 21 * 21);
    }
}

// A 3x3 plane: ring values clockwise from the top left, centre value.
Plane ring3x3(const std::array<uint16_t, 8>& ring, uint16_t centre)
{
    return {ring[0], ring[1], ring[2], ring[7], centre, ring[3], ring[6], ring[5], ring[4]};
}

uint16_t spikeCentre(const Plane& p, const SpikeRule& rule)
{
    uint16_t row[3];
    spikeFilterRow(p.data(), 3, 3, 1, rule, nullptr, row);
    return row[1];
}

TEST(SmoothingSpike, OutlierTakesTheMeanOfAllButTheFirstNeighbour)
{
    const SpikeRule rule = paramsAt(9).firstSpike;
    // The mean leaves out the top-left neighbour: 7280 / 7, not 8280 / 8.
    EXPECT_EQ(spikeCentre(ring3x3({1000, 1010, 1020, 1030, 1040, 1050, 1060, 1070}, 5000), rule), 1040);
    EXPECT_EQ(spikeCentre(ring3x3({1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}, 60000), rule), 1000);
    // Within half the largest neighbour step of the mean: kept.
    EXPECT_EQ(spikeCentre(ring3x3({1000, 1100, 1000, 1100, 1000, 1100, 1000, 1100}, 1090), rule), 1090);
}

TEST(SmoothingSpike, RoughRingKeepsThePixel)
{
    const SpikeRule rule = paramsAt(9).firstSpike;  // jump limit 11776
    EXPECT_EQ(spikeCentre(ring3x3({1000, 1000, 1000, 20000, 20000, 1000, 1000, 1000}, 40000), rule), 40000);
    // The step at list index 2 equals the darkest neighbour's code (ring
    // position 1): tolerated, the ring is smooth and the pixel replaced.
    EXPECT_EQ(spikeCentre(ring3x3({5000, 1000, 20000, 20000, 20000, 20000, 20000, 20000}, 40000), rule),
              (1000 + 6 * 20000) / 7);
}

TEST(SmoothingSpike, FewNeighbours)
{
    const SpikeRule rule = paramsAt(9).firstSpike;
    // A one-row image: the ends have one neighbour and keep their value;
    // the middle has two and takes the second's value.
    const Plane p = {100, 50000, 300};
    uint16_t row[3];
    spikeFilterRow(p.data(), 3, 1, 0, rule, nullptr, row);
    EXPECT_EQ(row[0], 100);
    EXPECT_EQ(row[1], 100);
    EXPECT_EQ(row[2], 300);
    const Plane one = {777};
    spikeFilterRow(one.data(), 1, 1, 0, rule, nullptr, row);
    EXPECT_EQ(row[0], 777);
}

TEST(SmoothingSpike, VectorTestMatchesScalar)
{
    if (!avx2Enabled())
        GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(23);
    const int w = 53, h = 7;
    // Rounds of three kinds: values from a few levels (equal neighbours, 0,
    // 65535, steps around the jump limits), a quiet background with sparse
    // far values (rings with one or two large steps at any list index), and
    // plain noise.
    const uint16_t levels[] = {0, 1, 1000, 1200, 12800, 14000, 15360, 15361, 30000, 30001, 65534, 65535};
    for (int round = 0; round < 600; ++round) {
        Plane in(w * h);
        const uint16_t base = levels[rng() % std::size(levels)];
        const uint16_t far = levels[rng() % std::size(levels)];
        for (uint16_t& v : in) {
            switch (round % 3) {
            case 0: v = levels[rng() % std::size(levels)]; break;
            case 1:
                v = rng() % 8 == 0 ? far : static_cast<uint16_t>(std::min<uint32_t>(65535, base + rng() % 300));
                break;
            default: v = static_cast<uint16_t>(rng() % 65536); break;
            }
        }
        for (const SmoothingParams& p : {paramsAt(1), paramsAt(10)}) {
            for (const SpikeRule& rule : {p.firstSpike, p.secondSpike}) {
                for (int y = 0; y < h; ++y) {
                    Plane scalar(w), vector(w);
                    spikeFilterRow(in.data(), w, h, y, rule, nullptr, scalar.data());
                    spikeFilterRow(in.data(), w, h, y, rule, spikeBlockFilter(), vector.data());
                    ASSERT_EQ(vector, scalar) << "round " << round << " row " << y;
                }
            }
        }
    }
}

// A walk along one row: entries (1, 0), (2, 0), ...
uint16_t walkAlong(const Plane& row, uint32_t centre, WalkBand band)
{
    std::vector<DiscEntry> entries;
    for (int dx = 1; dx < static_cast<int>(row.size()); ++dx)
        entries.push_back({static_cast<int16_t>(dx), 0, 0});
    return trackedWalk(row.data(), static_cast<std::ptrdiff_t>(row.size()), static_cast<int>(row.size()), 1, 0, 0,
                       centre, band, entries);
}

TEST(SmoothingWalk, TrackerFollowsBeyondTheToleranceAndStopsOutsideTheBand)
{
    // t: 5000, 5200 (pulled up by 5300), 5000 (pulled down by 4900).
    EXPECT_EQ(walkAlong({0, 5050, 5300, 4900}, 5000, {100, 1000}), (5000 + 5000 + 5200 + 5000) / 4);
    // 7000 pulls the tracker to 6900, outside 5000 +- 1000: the walk ends there.
    EXPECT_EQ(walkAlong({0, 5050, 7000, 5000, 5000}, 5000, {100, 1000}), 5000);
    EXPECT_EQ(walkAlong({0, 6000, 5000}, 5000, {100, 1000}), (5000 + 5900 + 5100) / 3);
}

TEST(SmoothingWalk, UnsignedWrapAround)
{
    // A centre below the band: the first sample ends the walk.
    EXPECT_EQ(walkAlong({0, 300, 300, 300}, 300, {256, 384}), 300);
    // A tracker below the tolerance is set to sample + tolerance.
    EXPECT_EQ(walkAlong({0, 100}, 800, {1024, 768}), (800 + 1124) / 2);
}

// The stage by its definition, over whole planes: the spike test written
// out afresh, the walks by the walk tested above.
namespace definition {

// The spike test at (x, y); `second` selects the second pass's rule.
uint16_t spike(const Plane& p, int w, int h, int x, int y, int64_t jumpLimit, bool second)
{
    static const int ringDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
    static const int ringDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
    const int64_t c = p[y * w + x];
    std::vector<int64_t> n;
    int64_t highest = 0, lowest = 65535;
    int highestCode = -1, lowestCode = -1;
    for (int pos = 0; pos < 8; ++pos) {
        const int nx = x + ringDx[pos], ny = y + ringDy[pos];
        if (nx < 0 || ny < 0 || nx >= w || ny >= h)
            continue;
        const int64_t v = p[ny * w + nx];
        if (v > highest) {
            highest = v;
            highestCode = 2 * pos;
        }
        if (v < lowest) {
            lowest = v;
            lowestCode = 2 * pos;
        }
        n.push_back(v);
    }
    const int m = static_cast<int>(n.size());
    if (m < 2)
        return static_cast<uint16_t>(c);
    int64_t g = 0, sum = 0;
    for (int k = 1; k < m; ++k) {
        const int64_t jump = std::abs(n[k] - n[k - 1]);
        g = std::max(g, jump);
        if (k != highestCode && k != lowestCode && jump > jumpLimit)
            return static_cast<uint16_t>(c);
        sum += n[k];
    }
    const int64_t mean = sum / (m - 1);
    if (std::abs(c - mean) <= (second ? g / 8 : g / 2))
        return static_cast<uint16_t>(c);
    if (m - 1 < 2)
        return static_cast<uint16_t>(mean);
    int like = 0;
    for (int k = 1; k <= m - 2; ++k) {
        const bool sameSide = c < mean ? n[k] <= mean : n[k] >= mean;
        like += sameSide && std::abs(n[k] - c) <= (second ? g / 2 : g);
    }
    return static_cast<uint16_t>(like <= (second ? 2 : 1) ? mean : c);
}

Plane smoothing(const Plane& in, int w, int h, int s)
{
    const SmoothingDisc disc = buildSmoothingDisc(smoothingDiscRadius(w, h));
    const uint32_t spread = static_cast<uint32_t>(s) * 65536 * 6 / 256;
    Plane first(in.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint16_t centre = spike(in, w, h, x, y, 2560 + 1024 * s, false);
            uint32_t sum = 0;
            for (WalkBand walk : {WalkBand{4096, 4096}, WalkBand{1024, spread / 4}, WalkBand{256, spread / 2}})
                sum += trackedWalk(in.data(), w, w, h, x, y, centre, walk, disc.firstPass());
            first[y * w + x] = static_cast<uint16_t>(sum / 3);
        }
    }
    if (s < 10)
        return first;
    Plane filtered(in.size()), second(in.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            filtered[y * w + x] = spike(first, w, h, x, y, 15360, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            second[y * w + x] =
                trackedWalk(filtered.data(), w, w, h, x, y, filtered[y * w + x], {4096, 2048}, disc.secondPass());
    return second;
}

}  // namespace definition

TEST(Smoothing, FollowsTheDefinition)
{
    const test::PhotoPlanes photo =
        test::loadPhotoPlanesFile(test::testDataPath("photo_night_street_shop.jpg"), 240);
    ASSERT_GT(photo.width, 0);
    const Plane detail = test::detailLikePlane(photo.luma, photo.width, photo.height);
    // A strip wide enough for a disc of radius 3, and a small noisy patch
    // with sparse spikes (the second pass's rules at work).
    const int w = 230, h = 27;
    const Plane strip = test::cropPlane(detail, photo.width, 5, 40, w, h);
    std::mt19937 rng(31);
    Plane patch(19 * 14);
    for (uint16_t& v : patch)
        v = static_cast<uint16_t>(rng() % 16 == 0 ? rng() % 65536 : 30000 + rng() % 6000);
    for (int s : {3, 9, 10}) {
        for (WalkMethod m : {WalkMethod::Literal, WalkMethod::Shortcut}) {
            const Smoothed a = smooth(strip, w, h, s, m);
            ASSERT_TRUE(a.ok);
            EXPECT_EQ(a.out, definition::smoothing(strip, w, h, s)) << "strip, strength " << s;
            const Smoothed b = smooth(patch, 19, 14, s, m);
            ASSERT_TRUE(b.ok);
            EXPECT_EQ(b.out, definition::smoothing(patch, 19, 14, s)) << "patch, strength " << s;
        }
    }
}

TEST(Smoothing, FlatPlanesPassUnchanged)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 17}, {17, 1}, {33, 20}, {100, 57}};
    for (auto [w, h] : sizes) {
        for (uint16_t value : {0, 1, 300, 32768, 65535}) {
            const Plane flat(static_cast<std::size_t>(w) * h, value);
            for (int strength : {1, 9, 10}) {
                for (WalkMethod m : {WalkMethod::Literal, WalkMethod::Shortcut}) {
                    const Smoothed r = smooth(flat, w, h, strength, m);
                    ASSERT_TRUE(r.ok);
                    ASSERT_EQ(r.out, flat) << w << "x" << h << " value " << value << " strength " << strength;
                }
            }
        }
    }
}

TEST(Smoothing, SingleBrightPixelIsReplacedByTheNeighbourMean)
{
    const int w = 41, h = 37;
    Plane in(w * h, 30000);
    in[18 * w + 20] = 60000;
    for (int strength : {9, 10}) {
        const Smoothed r = smooth(in, w, h, strength, WalkMethod::Shortcut);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.out, Plane(w * h, 30000)) << strength;
    }
}

TEST(Smoothing, PixelsBelowTheBandAreNotAveraged)
{
    // Every value is below every walk's band: each walk returns its centre,
    // so the result is the spike-filtered input.
    const int w = 29, h = 23;
    std::mt19937 rng(5);
    Plane in(w * h);
    for (uint16_t& v : in)
        v = static_cast<uint16_t>(100 + rng() % 200);
    const Smoothed r = smooth(in, w, h, 9, WalkMethod::Shortcut);
    ASSERT_TRUE(r.ok);
    Plane expected(w * h);
    for (int y = 0; y < h; ++y)
        spikeFilterRow(in.data(), w, h, y, paramsAt(9).firstSpike, nullptr, expected.data() + y * w);
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.out, in);
}

TEST(Smoothing, NineRunsOnePassTenTwo)
{
    const int w = 50, h = 40;
    std::mt19937 rng(9);
    Plane in(w * h);
    for (uint16_t& v : in)
        v = static_cast<uint16_t>(20000 + rng() % 8000);
    const Smoothed nine = smooth(in, w, h, 9, WalkMethod::Shortcut);
    const Smoothed ten = smooth(in, w, h, 10, WalkMethod::Shortcut);
    ASSERT_TRUE(nine.ok && ten.ok);
    EXPECT_EQ(nine.status, StatusCode::Smoothing);
    EXPECT_EQ(ten.status, StatusCode::Smoothing2);
    EXPECT_FALSE(paramsAt(9).secondPass);
    EXPECT_TRUE(paramsAt(10).secondPass);
}

TEST(Smoothing, Constants)
{
    const SmoothingParams p = paramsAt(9);
    EXPECT_EQ(p.firstSpike.jumpLimit, 2560u + 1024u * 9);
    EXPECT_EQ(p.secondSpike.jumpLimit, 15360u);
    EXPECT_EQ(p.firstWalks[0].tolerance, 4096u);
    EXPECT_EQ(p.firstWalks[0].band, 4096u);
    EXPECT_EQ(p.firstWalks[1].tolerance, 1024u);
    EXPECT_EQ(p.firstWalks[1].band, 384u * 9);
    EXPECT_EQ(p.firstWalks[2].tolerance, 256u);
    EXPECT_EQ(p.firstWalks[2].band, 768u * 9);
    EXPECT_EQ(p.secondWalk.tolerance, 4096u);
    EXPECT_EQ(p.secondWalk.band, 2048u);
}

TEST(Smoothing, FastMatchesLiteralOnPhotos)
{
    for (const char* name : {"photo_landscape_moraine_lake.jpg", "photo_night_street_shop.jpg",
                             "photo_backlit_dome_interior.jpg"}) {
        SCOPED_TRACE(name);
        const test::PhotoPlanes photo = test::loadPhotoPlanesFile(test::testDataPath(name), 380);
        ASSERT_GT(photo.width, 0);
        const Plane detail = test::detailLikePlane(photo.luma, photo.width, photo.height);
        for (int strength : {1, 2, 9, 10}) {
            expectMethodsAgree(photo.luma, photo.width, photo.height, strength);
            expectMethodsAgree(detail, photo.width, photo.height, strength);
        }
    }
    // A wide strip at full size: a large neighbourhood over few rows.
    const test::PhotoPlanes full =
        test::loadPhotoPlanesFile(test::testDataPath("photo_architecture_nagoya_castle.jpg"));
    ASSERT_GT(full.width, 0);
    const Plane strip =
        test::detailLikePlane(test::cropPlane(full.luma, full.width, 0, 500, full.width, 45), full.width, 45);
    expectMethodsAgree(strip, full.width, 45, 10);
}

TEST(Smoothing, FastMatchesLiteralOnSyntheticPlanes)
{
    std::mt19937 rng(17);
    // Rows in blocks of 16 and 32 pixels with short last blocks of every
    // kind (1 to 31 pixels) or none (320), and discs reaching 1 to 4 pixels
    // past a block by the left or right border, in 258 and 321 exactly one
    // pixel past the right border from the last lane of the last full block.
    const std::pair<int, int> sizes[] = {{2, 2},    {1, 50},   {50, 1},   {15, 200}, {200, 15},  {37, 29},
                                         {131, 3},  {161, 83}, {255, 40}, {258, 40}, {320, 24}, {321, 24}};
    for (auto [w, h] : sizes) {
        for (int kind = 0; kind < 4; ++kind) {
            Plane in(static_cast<std::size_t>(w) * h);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    uint32_t v = 0;
                    switch (kind) {
                    case 0:  // wild noise
                        v = rng() % 65536;
                        break;
                    case 1:  // mild noise
                        v = 32768 + rng() % 3000;
                        break;
                    case 2:  // edges between the extremes
                        v = (x * 7 + y * 3) % 40 < 20 ? rng() % 2500 : 65535 - rng() % 2500;
                        break;
                    default:  // a ramp up from black
                        v = std::min<uint32_t>(65535, x * 500 + rng() % 600);
                        break;
                    }
                    in[y * w + x] = static_cast<uint16_t>(v);
                }
            }
            for (int strength : {1, 2, 9, 10})
                expectMethodsAgree(in, w, h, strength);
        }
    }
}

TEST(Smoothing, RefusesBadInput)
{
    const Plane in(100, 1000);
    Plane out(100), scratch(100);
    ProcessingContext ctx;
    std::atomic<bool> abort{false};
    auto run = [&](int w, int h, const uint16_t* from, uint16_t* to, uint16_t* spare, int strength) {
        ctx.current.Smoothing = static_cast<uint16_t>(strength);
        return runSmoothing(ctx, abort, w, h, from, to, spare);
    };
    EXPECT_FALSE(run(0, 10, in.data(), out.data(), scratch.data(), 5));
    EXPECT_FALSE(run(10, -1, in.data(), out.data(), scratch.data(), 5));
    EXPECT_FALSE(run(70000, 1, in.data(), out.data(), scratch.data(), 5));
    EXPECT_FALSE(run(10, 10, nullptr, out.data(), scratch.data(), 5));
    EXPECT_FALSE(run(10, 10, out.data(), out.data(), scratch.data(), 5));
    // The second pass needs a scratch plane of its own.
    EXPECT_FALSE(run(10, 10, in.data(), out.data(), nullptr, 10));
    EXPECT_FALSE(run(10, 10, in.data(), out.data(), out.data(), 10));
    EXPECT_TRUE(run(10, 10, in.data(), out.data(), nullptr, 9));
    EXPECT_TRUE(run(10, 10, in.data(), out.data(), scratch.data(), 10));
}

TEST(Smoothing, IsThePipelinesSmoothingStage)
{
    const int w = 60, h = 45;
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(w, h));
    std::mt19937 rng(3);
    Plane in(w * h);
    for (uint16_t& v : in)
        v = static_cast<uint16_t>(30000 + rng() % 5000);
    ProcessingContext ctx;
    ctx.current.Smoothing = 10;
    ASSERT_TRUE(pipelineStages().smoothing);
    ASSERT_TRUE(pipelineStages().smoothing(ctx, state, in.data(), state.smoothed.as<uint16_t>()));
    const uint16_t* got = state.smoothed.as<uint16_t>();
    EXPECT_EQ(Plane(got, got + w * h), smooth(in, w, h, 10, WalkMethod::Literal).out);
}

}  // namespace
}  // namespace qv
