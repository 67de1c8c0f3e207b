// The short-reach walk of short_spreading_avx2.cpp with AVX-512: 32 pixels
// a vector, and the flags of the spreads held as lane masks, so that moving
// them one pixel along the line is a shift of a 32-bit mask. A short last
// vector loads and writes only its own lanes.
#include <algorithm>
#include <cstdint>

#include "engine/stages/detail/long_spreading.h"
#include "engine/stages/detail/short_spreading.h"
#include "engine/stages/detail/spread_lanes_avx512.h"

namespace qv {

namespace {

using spread_lanes::kLanes, spread_lanes::Lanes, spread_lanes::Meeting, spread_lanes::Received;

// The steps first .. last of one vector of pixels, as in the AVX2 twin: the
// flags of the spreads that go on move one lane towards the line's end
// (Dir = 1) or start (Dir = -1), the lane entering the vector taken from
// the neighbouring vector's flags of the same step in `carried`, which then
// receives this vector's.
template <int Dir>
QV_AVX512 inline void walkVector(const Meeting& meeting, const uint16_t* values, int first, int last, int interval,
                                 Lanes reaching, __m512i minusDown, __m512i up, uint32_t* carried,
                                 Received& received)
{
    // Each step's flags depend on the previous step's, so their chain sets
    // the pace. It runs in a general register (an AND, a shift and an OR a
    // step): the empty asm keeps the compiler from carrying the flags in a
    // mask register and moving them out and back every step, which makes
    // the walk about 20 % slower.
    uint32_t flags = reaching;
    for (int d = first; d <= last;) {
        for (const int flushAt = std::min(last + 1, d + interval); d < flushAt; ++d) {
            Lanes inside;
            received.add(meeting.received(avx512::load(values - Dir * d), minusDown, up, inside),
                         _cvtu32_mask32(flags));
            const uint32_t wentOn = flags & _cvtmask32_u32(inside);
            flags = Dir > 0 ? (wentOn << 1) | (carried[d] >> (kLanes - 1))
                            : (wentOn >> 1) | (carried[d] << (kLanes - 1));
            asm("" : "+r"(flags));
            carried[d] = wentOn;
        }
        received.flush();
    }
}

// The pixels of vector k of a line, the last one short of kLanes, and their
// luminance.
int pixelsOf(const SpreadLine& line, int k) { return std::min(kLanes, line.length - kLanes * k); }

QV_AVX512 __m512i lumaOf(const SpreadLine& line, int k)
{
    return _mm512_maskz_loadu_epi16(avx512::firstLanes(pixelsOf(line, k)), line.luma + kLanes * k);
}

}  // namespace

QV_AVX512 void spreadShortLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance,
                                     SpreadScratch& scratch, uint32_t* pairs)
{
    const int n = line.length;
    // The values are read up to a reach before the first pixel and a vector
    // plus a reach after the last, from a copy with room there; no spread
    // comes from there, as the flags entering the line are clear.
    uint16_t* values = scratch.shortValues.data() + kShortReachAvx512;
    std::copy(line.values, line.values + n, values);
    const __m512i t = _mm512_set1_epi16(static_cast<short>(tolerance));
    const StopPull pull(tolerance);
    const __m512i minusDown = _mm512_set1_epi16(static_cast<short>(-pull.down));
    const __m512i up = _mm512_set1_epi16(static_cast<short>(pull.up));
    // Offsets within +-T add up in 16 signed bits for this many steps.
    const int interval = avx2::flushInterval(2 * int64_t{tolerance});
    const int vectors = (n + kLanes - 1) / kLanes;
    uint32_t carried[kShortReachAvx512 + 1];

    // Towards the end: the spread from x meets pixel x + d at step d, d from
    // 0; every pixel's own spread reaches it at step 0.
    std::fill(carried, carried + kShortReachAvx512 + 1, 0u);
    for (int k = 0; k < vectors; ++k) {
        const Meeting meeting(lumaOf(line, k), t);
        Received received;
        walkVector<1>(meeting, values + kLanes * k, 0, reach.forward - 1, interval, ~Lanes{0}, minusDown, up,
                      carried, received);
        received.write<false>(meeting.luma, pixelsOf(line, k), pairs + 2 * kLanes * k);
    }
    // Towards the start: the spread from x meets pixel x - d at step d, d
    // from 1; at step 1 every pixel but the last is reached by the spread
    // from the pixel after it.
    std::fill(carried, carried + kShortReachAvx512 + 1, 0u);
    for (int k = vectors - 1; k >= 0; --k) {
        const Meeting meeting(lumaOf(line, k), t);
        Received received;
        const Lanes followed = avx512::firstLanes(n - 1 - kLanes * k);  // pixels with a pixel after them
        walkVector<-1>(meeting, values + kLanes * k, 1, reach.back, interval, followed, minusDown, up, carried,
                       received);
        received.write<true>(meeting.luma, pixelsOf(line, k), pairs + 2 * kLanes * k);
    }
}

void spreadLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                      uint32_t* pairs)
{
    if (std::max(reach.back, reach.forward) <= kShortReachAvx512 && tolerance <= kShortTolerance)
        spreadShortLineAvx512(line, reach, tolerance, scratch, pairs);
    else if (blockSearchTakes(reach))
        spreadLongLineAvx512(line, reach, tolerance, scratch, pairs);
    else
        spreadLine(line, reach, tolerance, scratch, pairs);
}

}  // namespace qv
