#pragma once

// What the vector twins of the row walk share outside their vector code:
// the steps walked chunk by chunk, the lanes' totals and their means, and
// the lanes walked one by one.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/stages/smoothing/smoothing_walk.h"

namespace qv {

// The vector walks count the samples each lane takes in 16 bits: exact over
// this many steps, after which the counts go into the totals.
inline constexpr std::size_t kWalkChunk = 1 << 15;

// Per lane of a block of `Lanes` walks: how far above its band's low end the
// trackers taken were, summed, and how many were taken.
template <int Lanes>
struct LaneTotals {
    uint64_t sum[Lanes] = {};
    uint32_t count[Lanes] = {};

    // The walks' results, the mean of the centre and the trackers taken;
    // `lows` holds each lane's band's low end.
    void means(const uint16_t* centres, const uint16_t* lows, uint16_t* results) const
    {
        for (int l = 0; l < Lanes; ++l) {
            const uint64_t total = centres[l] + sum[l] + uint64_t{lows[l]} * count[l];
            results[l] = static_cast<uint16_t>(total / (1 + count[l]));
        }
    }
};

// Walks `steps` at most kWalkChunk at a time: walkChunk(begin, end) walks
// [begin, end) and answers false once no lane is walking any more.
template <class WalkChunk>
void walkInChunks(std::span<const WalkStep> steps, WalkChunk walkChunk)
{
    const WalkStep* s = steps.data();
    const WalkStep* const end = s + steps.size();
    for (bool going = true; going && s != end;) {
        const WalkStep* chunkEnd = end - s > static_cast<std::ptrdiff_t>(kWalkChunk) ? s + kWalkChunk : end;
        going = walkChunk(s, chunkEnd);
        s = chunkEnd;
    }
}

// The walks of the block at column x0 whose bit is set in `lanes` (bit l:
// column x0 + l), walked one by one as the plain row walks them.
inline void walkEachLane(const WalkRow& row, WalkBand walk, int x0, uint32_t lanes, uint16_t* results)
{
    for (; lanes; lanes &= lanes - 1) {
        const int x = x0 + __builtin_ctz(lanes);
        results[x] =
            trackedWalk(row.samples, row.width, row.width, row.height, x, row.y, row.centres[x], walk, row.entries);
    }
}

}  // namespace qv
