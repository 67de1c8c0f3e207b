#pragma once

// Internal to the spreading: long reaches with AVX-512, where the stops of
// 32 neighbouring spreads are found at once, block by block.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/stages/detail/detail_spreading.h"

namespace qv {

// The blocks of 32 pixels the search cuts a line into.
constexpr int kSearchBlock = 32;

// The planes the block search lays a line out in, and the pixels of each:
// whole blocks.
constexpr int kBlockLinePlanes = 6;
inline std::size_t blockLinePixels(int length)
{
    return (static_cast<std::size_t>(length) + kSearchBlock - 1) / kSearchBlock * kSearchBlock;
}

// Whether the block search takes on a reach: its spreads must end within
// 16 unsigned bits of their block's start.
inline bool blockSearchTakes(SpreadReach reach)
{
    return std::max(reach.back, reach.forward) <= 65535 - 2 * kSearchBlock;
}

// spreadLine's result, for reaches blockSearchTakes allows. Each direction
// is searched on its own, the line reversed for the spreads towards its
// start. Per block of 32 spreads: whether all of them pass the rest of
// their own block (the extents from each pixel to its end), else where
// within it each stops (the extents of 16, 8, 4, 2 and 1 pixels from each
// pixel, lifted over one after the other); the spreads that leave it are
// compared block after block with each block's extent, and those whose
// band a block leaves are narrowed down within it by a binary search over
// the extents from its start. Neighbouring spreads that stop at one pixel
// are recorded together. Part of spreadLineAvx512; needs scratch reserved
// for the line.
void spreadLongLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                          uint32_t* pairs);

}  // namespace qv
