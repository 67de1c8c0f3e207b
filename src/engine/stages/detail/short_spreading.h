#pragma once

// Internal to the spreading: short reaches walked pixel by pixel, many
// spreads at once.

#include <cstdint>

#include "engine/stages/detail/detail_spreading.h"

namespace qv {

// The longest reach (in either direction) each walk takes on. The walk's
// cost grows with the reach, the searches' far more slowly; measured on
// rows of a photo, the AVX2 walk takes 21 % less time than the stop search
// (spreadLine) at reach 39 on 1280-pixel rows, and the two are even at
// reach 41 on 4000-pixel rows. Against the AVX2 block search of long
// reaches (long_spreading.h) it takes 19 % more at reach 39 on 1280-pixel
// rows (13.2 ms against 11.1 ms a pass) and 39 % more at reach 40 on
// 4000-pixel rows; yet with the AVX2 limit at 30 whole detail stages took
// 8 % more time at 1280 x 853 and 3 % less at 4000 x 3000, so it stays at
// 40. Against the AVX-512 block search, the AVX-512 walk takes 10 % less
// time at reach 39 on 1280-pixel rows and 10 % more at reach 41 on
// 4000-pixel rows (63 ms against 57 ms a pass), whole detail stages are
// even there, and the search takes 40 % less at reach 61 (58 ms against
// 99 ms); the same holds for the columns, walked in strips or searched as
// lines.
constexpr int kShortReach = 40;
constexpr int kShortReachAvx512 = 47;
// The largest tolerance the walk takes on: it adds up the offsets of the
// values from the luminance, at most the tolerance each, in 16 signed bits.
constexpr int kShortTolerance = 32767;

// The walks of strips of columns (strip_spreading_*.cpp) keep the flags of
// the sending rows in a ring of kStripRing, more than any reach walked and a
// power of two, and what a pixel received from above as offset *
// 2^kStripCountBits + count.
constexpr int kStripRing = 64;
constexpr int kStripCountBits = 7;
// Whether a strip walk stays exact up to `reach`: the ring holds every
// sending row that still reaches; a pixel's sum of at most 2 * reach + 2
// values of at most 65535 stays below 2^24, where single-precision division
// truncated is exact (see pair_means.cpp); at most a reach of counts, and
// offsets of at most a reach times the tolerance, fit the packing.
constexpr bool stripWalkExactUpTo(int reach)
{
    return kStripRing > reach && (2 * reach + 2) * int64_t{65535} < (int64_t{1} << 24) &&
           reach < (1 << kStripCountBits) &&
           int64_t{reach} * kShortTolerance < (int64_t{1} << (31 - kStripCountBits));
}

// spreadLine's result for reaches of at most kShortReach (kShortReachAvx512)
// and tolerances of at most kShortTolerance, computed by walking the spreads
// step by step: 16 (32) neighbouring pixels at a time receive what every
// spread reaching them brings. Part of spreadLineAvx2 (spreadLineAvx512);
// needs scratch reserved for the line.
void spreadShortLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                         uint32_t* pairs);
void spreadShortLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                           uint32_t* pairs);

}  // namespace qv
