#include "engine/stages/smoothing/smoothing_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/stages/smoothing/smoothing_disc.h"
#include "support/simd_switch.h"

namespace qv {
namespace {

using Plane = std::vector<uint16_t>;

// A row of walks as the stage hands it over, with exact sample ranges.
struct RowSetup {
    Plane samples;
    int width = 0;
    int height = 0;
    int y = 0;
    Plane centres, lo, hi;
    std::vector<DiscEntry> entries;
    std::vector<WalkStep> steps;
    int reach = 0, rowsUp = 0, rowsDown = 0;

    RowSetup(Plane plane, int w, int h, int row, Plane walkCentres, std::vector<DiscEntry> list)
        : samples(std::move(plane)), width(w), height(h), y(row), centres(std::move(walkCentres)),
          entries(std::move(list))
    {
        for (const DiscEntry& e : entries) {
            reach = std::max(reach, std::abs(static_cast<int>(e.dx)));
            rowsUp = std::max(rowsUp, -static_cast<int>(e.dy));
            rowsDown = std::max(rowsDown, static_cast<int>(e.dy));
            if (y + e.dy >= 0 && y + e.dy < height)
                steps.push_back({e.dy * width + e.dx, e.dx, e.dy});
        }
        lo.assign(width, 65535);
        hi.assign(width, 0);
        for (int x = 0; x < width; ++x) {
            for (const DiscEntry& e : entries) {
                const int nx = x + e.dx, ny = y + e.dy;
                if (nx < 0 || nx >= width || ny < 0 || ny >= height)
                    continue;
                lo[x] = std::min(lo[x], samples[ny * width + nx]);
                hi[x] = std::max(hi[x], samples[ny * width + nx]);
            }
        }
    }

    WalkRow row() const
    {
        return {samples.data(), width, height, y, centres.data(), lo.data(), hi.data(), entries, steps,
                reach,          rowsUp, rowsDown};
    }
};

// The row walked on every level of vector loops equals its walks one by
// one.
void expectRowsAgree(const RowSetup& s, WalkBand walk)
{
    Plane expected(s.width);
    for (int x = 0; x < s.width; ++x)
        expected[x] = trackedWalk(s.samples.data(), s.width, s.width, s.height, x, s.y, s.centres[x], walk, s.entries);
    for (SimdLevel level : test::kEverySimdLevel) {
        const test::SimdSwitch loops(level);
        const WalkRowFn walkRowFn = pickKernel(walkRow, QV_AVX2_TWIN(walkRowAvx2), QV_AVX512_TWIN(walkRowAvx512));
        Plane got(s.width, 0);
        walkRowFn(s.row(), walk, got.data());
        ASSERT_EQ(got, expected) << s.width << "x" << s.height << " row " << s.y << " tolerance " << walk.tolerance
                                 << " band " << walk.band << " level " << static_cast<int>(level);
    }
}

TEST(SmoothingWalkRow, EveryLevelWalksAsTheLiteralWalk)
{
    // Centres and samples near both ends of the range, below and above the
    // tolerance and the band, and bands up to the whole range (a sum flushed
    // every step).
    std::mt19937 rng(41);
    const uint16_t levels[] = {0, 5, 200, 1000, 4000, 30000, 32768, 60000, 65000, 65535};
    const WalkBand walks[] = {{0, 0}, {256, 6912}, {4096, 2048}, {1024, 65535}, {65535, 300}};
    const SmoothingDisc disc3 = buildSmoothingDisc(3);
    const std::vector<DiscEntry> disc(disc3.secondPass().begin(), disc3.secondPass().end());
    for (int width : {1, 31, 32, 33, 64, 66, 70, 97}) {
        const int height = 7;
        for (int round = 0; round < 6; ++round) {
            Plane plane(static_cast<std::size_t>(width) * height), centres(width);
            const uint16_t base = levels[rng() % std::size(levels)];
            for (uint16_t& v : plane)
                v = round % 2 ? levels[rng() % std::size(levels)]
                              : static_cast<uint16_t>(std::min<uint32_t>(65535, base + rng() % 3000));
            for (uint16_t& c : centres)
                c = rng() % 3 ? plane[rng() % plane.size()] : levels[rng() % std::size(levels)];
            for (int y = 0; y < height; ++y) {
                const RowSetup s(plane, width, height, y, centres, disc);
                for (WalkBand walk : walks)
                    expectRowsAgree(s, walk);
            }
        }
    }
}

TEST(SmoothingWalkRow, WalksLongerThanTheirLaneCountersAreExact)
{
    // 72000 entries circling the ring of eight neighbours, over bright
    // samples that keep every tracker in its wide band: each walk takes them
    // all, more than 16-bit lane counts hold, and its trackers sum to more
    // than 32 bits hold.
    const int width = 70, height = 3;
    std::mt19937 rng(43);
    Plane plane(width * height), centres(width);
    for (uint16_t& v : plane)
        v = static_cast<uint16_t>(64000 + rng() % 300);
    for (uint16_t& c : centres)
        c = static_cast<uint16_t>(63500 + rng() % 1000);
    static const int8_t ring[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    std::vector<DiscEntry> entries;
    for (int k = 0; k < 72000; ++k)
        entries.push_back({ring[k % 8][0], ring[k % 8][1], 0});
    const RowSetup s(plane, width, height, 1, centres, entries);
    expectRowsAgree(s, {100, 63000});
}

}  // namespace
}  // namespace qv
