#include "engine/stages/color_noise_reduction/color_noise_reduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <vector>

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/stages/color_noise_reduction/ray_list.h"
#include "support/photo_planes.h"
#include "support/simd_switch.h"
#include "support/test_data.h"
#include "text/status_codes.h"

namespace qv {
namespace {

using Chroma = std::vector<int16_t>;
using Luma = std::vector<uint16_t>;

std::vector<RayEntry> standardRays()
{
    std::vector<RayEntry> rays(kRayListCapacity);
    rays.resize(buildRayList(rays.data(), 0.0f, kRayRadius, kRayListCapacity, kRayAngleStep));
    return rays;
}

struct Denoised {
    bool ok = false;
    Chroma out;
    StatusCode status = StatusCode::None;
};

Denoised denoise(const Luma& luma, const Chroma& chroma, int w, int h, int strength, WalkMethod method,
                 int workers = 3)
{
    static const std::vector<RayEntry> rays = standardRays();
    ProcessingContext ctx;
    ctx.workerCount = workers;
    ctx.current.ColorNR = static_cast<uint16_t>(strength);
    std::atomic<bool> abort{false};
    Denoised r;
    r.out.assign(chroma.size(), 0);
    std::vector<uint16_t> scratch(chroma.size());
    r.ok = runColorNoiseReduction(ctx, abort, w, h, luma.data(), chroma.data(), r.out.data(), scratch.data(), rays,
                                  method);
    r.status = ctx.statusCode.load();
    return r;
}

void expectMethodsAgree(const Luma& luma, const Chroma& chroma, int w, int h, int strength)
{
    const Denoised literal = denoise(luma, chroma, w, h, strength, WalkMethod::Literal);
    ASSERT_TRUE(literal.ok);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        const Denoised fast = denoise(luma, chroma, w, h, strength, WalkMethod::Shortcut);
        ASSERT_TRUE(fast.ok);
        ASSERT_EQ(fast.out, literal.out) << w << "x" << h << " strength " << strength << " simd level "
                                         << static_cast<int>(level);
    }
}

TEST(RayList, CentreFirstUniqueCellsWithinTheRadius)
{
    const std::vector<RayEntry> rays = standardRays();
    ASSERT_EQ(rays.size(), 194u);  // with single-precision angles and steps
    EXPECT_EQ(rays[0].dx, 0);
    EXPECT_EQ(rays[0].dy, 0);
    EXPECT_EQ(rays[0].distance, 0);
    EXPECT_EQ(rays[0].skip, 194);
    // The first ray runs along +x; the next starts nearer than its end.
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(rays[k].dx, k);
        EXPECT_EQ(rays[k].dy, 0);
        EXPECT_EQ(rays[k].distance, 16 * k);
    }
    EXPECT_EQ(rays[3].skip, 18);  // (3, 0) up to the next entry nearer than 48
    EXPECT_EQ(rays[8].skip, 1);
    std::set<std::pair<int, int>> cells;
    for (const RayEntry& e : rays) {
        EXPECT_TRUE(cells.insert({e.dx, e.dy}).second) << e.dx << "," << e.dy;
        EXPECT_LE(e.dx * e.dx + e.dy * e.dy, 64);
    }
}

TEST(RayList, NeverMoreThanTheCapacity)
{
    const std::vector<RayEntry> full = standardRays();
    std::vector<RayEntry> small(50);
    ASSERT_EQ(buildRayList(small.data(), 0.0f, kRayRadius, 50, kRayAngleStep), 50);
    for (int k = 0; k < 50; ++k) {
        EXPECT_EQ(small[k].dx, full[k].dx);
        EXPECT_EQ(small[k].dy, full[k].dy);
    }
    // A wider radius would give more cells than the list holds.
    std::vector<RayEntry> wide(kRayListCapacity);
    EXPECT_EQ(buildRayList(wide.data(), 0.0f, 12, kRayListCapacity, kRayAngleStep), kRayListCapacity);
    EXPECT_EQ(buildRayList(wide.data(), 0.0f, 8, 0, kRayAngleStep), 0);
    EXPECT_EQ(buildRayList(wide.data(), 0.0f, 8, kRayListCapacity, 0.0f), 0);
}

ColorNRParams paramsAt(int strength)
{
    ToneSettings s;
    s.ColorNR = static_cast<uint16_t>(strength);
    return ColorNRParams::from(s, 65536).value();
}

TEST(ColorNR, Constants)
{
    const ColorNRParams p = paramsAt(10);
    EXPECT_EQ(p.passes[0].slew, 1024);
    EXPECT_EQ(p.passes[1].slew, 256);
    EXPECT_EQ(p.passes[1].tolerance, 7680);
    EXPECT_EQ(p.passes[0].tolerance, 1920);
    EXPECT_EQ(p.lumaTolerance, 6144);
    EXPECT_EQ(paramsAt(1).passes[1].tolerance, 768);
    EXPECT_EQ(paramsAt(1).lumaTolerance, 6144);
}

// A one-row image and rays along it: entries (1, 0), (2, 0), ... with the
// given skips.
int walkAlong(const Luma& luma, const Chroma& u, std::vector<int16_t> skips, ChromaPass pass)
{
    std::vector<RayEntry> rays = {{static_cast<int16_t>(skips.size() + 1), 0, 0, 0}};
    for (std::size_t k = 0; k < skips.size(); ++k)
        rays.push_back({skips[k], static_cast<int16_t>(k + 1), 0, static_cast<int16_t>(16 * (k + 1))});
    Chroma chroma;
    for (int16_t c : u)
        chroma.insert(chroma.end(), {c, 0});
    return chromaWalk(chroma.data(), luma.data(), static_cast<int>(luma.size()), 1, 0, 0, 0, rays, pass, 6144);
}

TEST(ColorNRWalk, SlewedChromaDecidesAcceptance)
{
    // 2900 is farther than the tolerance from 0, but the slewed value 1876 is not.
    EXPECT_EQ(walkAlong({1000, 1000}, {0, 2900}, {1}, {1024, 1920}), (0 + 1876) / 2);
    // 3000 slews to 1976, outside the tolerance: refused.
    EXPECT_EQ(walkAlong({1000, 1000}, {0, 3000}, {1}, {1024, 1920}), 0);
    // Negative sums divide toward zero.
    EXPECT_EQ(walkAlong({1000, 1000, 1000}, {0, -1025, -1025}, {2, 1}, {1024, 1920}), (0 - 1 - 1) / 3);
}

TEST(ColorNRWalk, RefusedNeighbourSkipsItsRunAndOneMore)
{
    // Entry 1 (luma far off) is refused; its run is itself, yet entry 2 is
    // passed over too and the walk goes on at entry 3.
    EXPECT_EQ(walkAlong({1000, 60000, 1000, 1000}, {0, 0, 1500, 0}, {1, 1, 1}, {1024, 1920}), 0);
    // With entry 1 taken, entry 2 pulls the walk's chroma to 476.
    EXPECT_EQ(walkAlong({1000, 1000, 1000, 1000}, {0, 0, 1500, 0}, {1, 1, 1}, {1024, 1920}), (476 + 476) / 4);
}

// The stage by its definition: for each component, the walk of pass 0
// (slew 1024, tolerance 192 n) and of pass 1 (slew 256, tolerance 768 n),
// averaged with truncation toward zero.
Chroma denoiseByDefinition(const Luma& luma, const Chroma& chroma, int w, int h, int n)
{
    const std::vector<RayEntry> rays = standardRays();
    Chroma out(chroma.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 2; ++c) {
                const int first = chromaWalk(chroma.data(), luma.data(), w, h, x, y, c, rays, {1024, 192 * n}, 6144);
                const int second = chromaWalk(chroma.data(), luma.data(), w, h, x, y, c, rays, {256, 768 * n}, 6144);
                out[2 * (y * w + x) + c] = static_cast<int16_t>((first + second) / 2);
            }
        }
    }
    return out;
}

TEST(ColorNR, FollowsTheDefinition)
{
    const test::PhotoPlanes photo =
        test::loadPhotoPlanesFile(test::testDataPath("photo_people_bar_portrait.jpg"), 90);
    ASSERT_GT(photo.width, 0);
    // Noise on the photo's chroma, toward both signs.
    std::mt19937 rng(12);
    Chroma noisy = photo.chroma;
    for (int16_t& c : noisy)
        c = static_cast<int16_t>(std::clamp<int>(c + static_cast<int>(rng() % 4001) - 2000, -32768, 32767));
    for (int n : {2, 10}) {
        const Chroma expected = denoiseByDefinition(photo.luma, noisy, photo.width, photo.height, n);
        ASSERT_NE(expected, noisy);
        for (WalkMethod m : {WalkMethod::Literal, WalkMethod::Shortcut}) {
            const Denoised r = denoise(photo.luma, noisy, photo.width, photo.height, n, m);
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(r.out, expected) << "strength " << n << " method " << static_cast<int>(m);
        }
    }
}

TEST(ColorNR, FlatChromaPassesUnchanged)
{
    const int w = 45, h = 31;
    Luma luma(w * h);
    for (int i = 0; i < w * h; ++i)
        luma[i] = (i % w) < 20 ? 5000 : 50000;  // an edge in luma changes nothing either
    for (int16_t value : {-32768, -5, 0, 1234, 32767}) {
        Chroma chroma(2 * w * h);
        for (int i = 0; i < w * h; ++i) {
            chroma[2 * i] = value;
            chroma[2 * i + 1] = static_cast<int16_t>(-value / 2);
        }
        for (WalkMethod m : {WalkMethod::Literal, WalkMethod::Shortcut}) {
            const Denoised r = denoise(luma, chroma, w, h, 10, m);
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(r.out, chroma) << value;
        }
    }
}

TEST(ColorNR, PixelWithEveryNeighbourRefusedKeepsItsChroma)
{
    const int w = 21, h = 19;
    std::mt19937 rng(4);
    Luma luma(w * h, 60000);
    Chroma chroma(2 * w * h);
    for (int16_t& c : chroma)
        c = static_cast<int16_t>(static_cast<int>(rng() % 2000) - 1000);
    const int centre = 9 * w + 10;
    luma[centre] = 100;  // unlike every neighbour
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        for (WalkMethod m : {WalkMethod::Literal, WalkMethod::Shortcut}) {
            const Denoised r = denoise(luma, chroma, w, h, 10, m);
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(r.out[2 * centre], chroma[2 * centre]);
            EXPECT_EQ(r.out[2 * centre + 1], chroma[2 * centre + 1]);
            EXPECT_NE(r.out, chroma);  // the others are smoothed
        }
    }
    // A single pixel has no neighbour at all.
    const Denoised one = denoise({777}, {-300, 400}, 1, 1, 5, WalkMethod::Shortcut);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.out, (Chroma{-300, 400}));
}

TEST(ColorNR, FastMatchesLiteralOnPhotos)
{
    for (const char* name : {"photo_landscape_moraine_lake.jpg", "photo_night_street_shop.jpg",
                             "photo_people_bar_portrait.jpg"}) {
        SCOPED_TRACE(name);
        const test::PhotoPlanes photo = test::loadPhotoPlanesFile(test::testDataPath(name), 320);
        ASSERT_GT(photo.width, 0);
        for (int strength : {1, 10})
            expectMethodsAgree(photo.luma, photo.chroma, photo.width, photo.height, strength);
    }
}

TEST(ColorNR, FastMatchesLiteralOnSyntheticPlanes)
{
    std::mt19937 rng(29);
    // 533 columns: three strips of the fast walks, the last one short. 71
    // columns: the last pixel of the second block of 32 is exactly a ray's
    // reach from the right border.
    const std::pair<int, int> sizes[] = {{1, 1},   {1, 40},  {40, 1},  {2, 3},   {17, 9},
                                         {16, 16}, {50, 33}, {131, 7}, {71, 20}, {533, 12}};
    for (auto [w, h] : sizes) {
        for (int kind = 0; kind < 4; ++kind) {
            Luma luma(static_cast<std::size_t>(w) * h);
            Chroma chroma(2 * luma.size());
            for (std::size_t i = 0; i < luma.size(); ++i) {
                switch (kind) {
                case 0:  // noise everywhere
                    luma[i] = static_cast<uint16_t>(rng());
                    chroma[2 * i] = static_cast<int16_t>(rng());
                    chroma[2 * i + 1] = static_cast<int16_t>(rng());
                    break;
                case 1:  // mild noise around the extremes of chroma and luma
                    luma[i] = static_cast<uint16_t>((i / 5) % 2 ? 65535 - rng() % 8000 : rng() % 8000);
                    chroma[2 * i] = static_cast<int16_t>((i / 3) % 2 ? 32767 - rng() % 3000 : -32768 + rng() % 3000);
                    chroma[2 * i + 1] = static_cast<int16_t>(static_cast<int>(rng() % 4000) - 2000);
                    break;
                case 2:  // gentle noise, mostly within the tolerances
                    luma[i] = static_cast<uint16_t>(30000 + rng() % 3000);
                    chroma[2 * i] = static_cast<int16_t>(static_cast<int>(rng() % 1200) - 600);
                    chroma[2 * i + 1] = static_cast<int16_t>(static_cast<int>(rng() % 300) + 100);
                    break;
                default:  // flat but for the first column: a walk reading past the right border finds it
                    luma[i] = 30000;
                    chroma[2 * i] = static_cast<int16_t>(i % w == 0 ? 4000 : 0);
                    chroma[2 * i + 1] = static_cast<int16_t>(i % w == 0 ? -4000 : 100 * (i % 3));
                    break;
                }
            }
            for (int strength : {1, 10})
                expectMethodsAgree(luma, chroma, w, h, strength);
        }
    }
}

TEST(ColorNR, RefusesBadInputAndAbort)
{
    const std::vector<RayEntry> rays = standardRays();
    const Luma luma(100, 1000);
    const Chroma chroma(200, 0);
    Chroma out(200, 5);
    std::vector<uint16_t> scratch(200);
    ProcessingContext ctx;
    std::atomic<bool> abort{false};
    auto run = [&](int w, int h, int strength, std::span<const RayEntry> r) {
        ctx.current.ColorNR = static_cast<uint16_t>(strength);
        return runColorNoiseReduction(ctx, abort, w, h, luma.data(), chroma.data(), out.data(), scratch.data(), r);
    };
    EXPECT_FALSE(run(0, 10, 5, rays));
    EXPECT_FALSE(run(10, 70000, 5, rays));
    EXPECT_FALSE(run(10, 10, 5, {}));
    Chroma inPlace = chroma;
    ctx.current.ColorNR = 5;
    EXPECT_FALSE(runColorNoiseReduction(ctx, abort, 10, 10, luma.data(), inPlace.data(), inPlace.data(),
                                        scratch.data(), rays));
    EXPECT_FALSE(runColorNoiseReduction(ctx, abort, 10, 10, luma.data(), chroma.data(), out.data(), nullptr, rays));
    abort = true;
    EXPECT_FALSE(run(10, 10, 5, rays));
    EXPECT_EQ(out, Chroma(200, 5));  // no worker started
}

TEST(ColorNR, IsThePipelinesColourNoiseStage)
{
    const int w = 37, h = 23;
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(w, h));
    std::mt19937 rng(8);
    Luma luma(w * h);
    Chroma chroma(2 * w * h);
    for (uint16_t& v : luma)
        v = static_cast<uint16_t>(20000 + rng() % 8000);
    for (int16_t& c : chroma)
        c = static_cast<int16_t>(static_cast<int>(rng() % 3000) - 1500);
    ProcessingContext ctx;
    ctx.current.ColorNR = 6;
    // The softening filter's cached map outlives a run of this stage.
    uint16_t* softMap = softeningMap(state).data();
    std::fill_n(softMap, w * h, 0x5A5A);
    ASSERT_TRUE(pipelineStages().colorNR);
    int16_t* out = state.denoisedChroma.as<int16_t>();
    ASSERT_TRUE(pipelineStages().colorNR(ctx, state, luma.data(), chroma.data(), out));
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::ColorNR);
    EXPECT_EQ(state.rayCount, 194);
    EXPECT_EQ(Chroma(out, out + 2 * w * h), denoise(luma, chroma, w, h, 6, WalkMethod::Literal).out);
    EXPECT_EQ(Luma(softMap, softMap + w * h), Luma(w * h, 0x5A5A));
}

}  // namespace
}  // namespace qv
