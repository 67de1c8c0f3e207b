#pragma once

// Internal to the spreading: long reaches with AVX2 or AVX-512, where the
// stops of 16 or 32 neighbouring spreads are found at once, block by block.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "engine/stages/detail/detail_spreading.h"

namespace qv {

// The blocks of 32 pixels the AVX-512 search cuts a line into; the AVX2
// search takes them as two blocks of 16.
constexpr int kSearchBlock = 32;

// The planes the block search lays a line out in, and the pixels of each:
// whole blocks.
constexpr int kBlockLinePlanes = 6;
inline std::size_t blockLinePixels(int length)
{
    return (static_cast<std::size_t>(length) + kSearchBlock - 1) / kSearchBlock * kSearchBlock;
}

// One direction of a line as the search reads it, its pixels in the order
// the spreads run, in whole blocks of kSearchBlock.
struct BlockLine {
    uint16_t* luma;    // 0 past the line's end
    uint16_t* values;  // 0 past the line's end
    // Per block, the lowest and highest luminance from the block's start
    // up to each pixel: the block's last pixel holds the block's extent.
    uint16_t* headLow;
    uint16_t* headHigh;
    // And from each pixel to the block's end (or the line's).
    uint16_t* tailLow;
    uint16_t* tailHigh;
    int length;
};

// Records the spreads of one direction into the steps of the line
// (spread_steps.h), given where they stop on the searched line, whose
// positions run backwards for Dir = -1. As in detail_spreading.cpp, a
// spread's step at its own pixel is left out: its two directions' steps
// there cancel.
template <int Dir>
struct StepRecorder {
    uint64_t* steps;
    const uint16_t* values;  // the line's own, in its order
    int length;

    // `count` spreads stop at pixel `stop`; their values add up to `sum`,
    // what the stop receives from them to `pulled`.
    void stopped(int stop, uint64_t count, uint64_t sum, uint64_t pulled) const
    {
        if constexpr (Dir > 0) {
            steps[stop] += pulled - sum;
            steps[stop + 1] -= (count << 32) + pulled;
        } else {
            const int at = length - 1 - stop;
            steps[at] += (count << 32) + pulled;
            steps[at + 1] += sum - pulled;
        }
    }

    // The spreads of the `stopped` lanes of the block from x0 (bit i: lane
    // i), lane i stopping at x0 + stops[i]: neighbours that stop at one
    // pixel are recorded together, a run ending at each lane of `runEnds`.
    // `valueSums` and `pulledSums` are running sums over the lanes of the
    // stopped spreads' values and of what their stops receive.
    void stoppedRuns(int x0, const uint16_t* stops, uint32_t stopped, uint32_t runEnds, const uint32_t* valueSums,
                     const uint32_t* pulledSums) const
    {
        uint32_t valuesBefore = 0;
        uint32_t pulledBefore = 0;
        for (; runEnds; runEnds &= runEnds - 1) {
            const int e = std::countr_zero(runEnds);
            const uint32_t through = runEnds ^ (runEnds - 1);  // lanes 0 .. e
            this->stopped(x0 + stops[e], static_cast<uint64_t>(std::popcount(stopped & through)),
                          valueSums[e] - valuesBefore, pulledSums[e] - pulledBefore);
            stopped &= ~through;
            valuesBefore = valueSums[e];
            pulledBefore = pulledSums[e];
        }
    }

    // Spreads that run up to `end` (exclusive) without a stop, `runs` their
    // count * 2^32 + the sum of their values.
    void ran(int end, uint64_t runs) const
    {
        if constexpr (Dir > 0)
            steps[end] -= runs;
        else
            steps[length - end] += runs;
    }
};

// Whether the block search takes on a reach: its spreads must end within
// 16 unsigned bits of their block's start.
inline bool blockSearchTakes(SpreadReach reach)
{
    return std::max(reach.back, reach.forward) <= 65535 - 2 * kSearchBlock;
}

// spreadLine's result, for reaches blockSearchTakes allows. Each direction
// is searched on its own, the line reversed for the spreads towards its
// start. Per block of 32 (16) spreads: whether all of them pass the rest
// of their own block (the extents from each pixel to its end), else where
// within it each stops (the extents of 16 (8), ..., 2 and 1 pixels from
// each pixel, lifted over one after the other); the spreads that leave it are
// compared block after block with each block's extent, and those whose
// band a block leaves are narrowed down within it by a binary search over
// the extents from its start. Neighbouring spreads that stop at one pixel
// are recorded together. Part of spreadLineAvx512 (spreadLineAvx2); needs
// scratch reserved for the line.
void spreadLongLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                          uint32_t* pairs);
void spreadLongLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                        uint32_t* pairs);

}  // namespace qv
