#pragma once

// Internal to the spreading: short reaches walked pixel by pixel, many
// spreads at once.

#include <cstdint>

#include "engine/stages/detail/detail_spreading.h"

namespace qv {

// The longest reach (in either direction) the lockstep walk takes on; beyond
// it the stop search costs less than walking (measured: the walk wins at
// reach 14, the two are even at 21, the search wins by 9 % at 39).
constexpr int kShortReach = 16;

// spreadLine's result for reaches of at most kShortReach, computed by
// walking every spread of the line in lockstep: step d moves all spreads
// that are still going from their d-th pixel to the next, 16 at a time.
// Part of spreadLineAvx2; needs scratch reserved for the line.
void spreadShortLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                         uint32_t* pairs);

}  // namespace qv
