// The short-reach walk of short_spreading_avx2.cpp with AVX-512: 32 pixels
// a vector, and the flags of the spreads held as lane masks, so that moving
// them one pixel along the line is a shift of a 32-bit mask. A short last
// vector loads and writes only its own lanes.
#include <algorithm>
#include <cstdint>

#include "engine/kernels/simd_avx512.h"
#include "engine/stages/detail/short_spreading.h"

namespace qv {

namespace {

// Pixels of a line handled as one vector: one 16-bit lane each.
constexpr int kLanes = 32;

using Lanes = __mmask32;

// What the spreads meeting 32 pixels at one step add to them, as offsets
// from each pixel's luminance L (see the AVX2 twin): L - T <= v <= L + T is
// inside; outside, L - down below the band and L + up above it.
struct Meeting {
    __m512i luma;
    __m512i low, high;  // the band ends around each pixel's luminance

    QV_AVX512 Meeting(__m512i pixels, __m512i tolerance)
        : luma(pixels), low(_mm512_subs_epu16(pixels, tolerance)), high(_mm512_adds_epu16(pixels, tolerance))
    {
    }

    // The offset each pixel receives from the spread of `value`, given the
    // offsets -down and up of the pulled values; `inside` marks the spreads
    // that go on.
    QV_AVX512 __m512i received(__m512i value, __m512i minusDown, __m512i up, Lanes& inside) const
    {
        const Lanes atLeastLow = _mm512_cmple_epu16_mask(low, value);
        inside = _mm512_mask_cmple_epu16_mask(atLeastLow, value, high);
        const __m512i pulled = _mm512_mask_blend_epi16(atLeastLow, minusDown, up);
        return _mm512_mask_sub_epi16(pulled, inside, value, luma);
    }
};

// The first n of 16 lanes.
inline __mmask16 firstOf16(int n) { return n >= 16 ? 0xFFFF : n <= 0 ? 0 : static_cast<__mmask16>((1u << n) - 1); }

// The sums and counts one vector of pixels receives, kept in registers while
// the spreads step over them: offsets from the luminance in 16 bits, moved
// into the 32-bit sums before they can overflow; the luminance times the
// count is added when written.
struct Received {
    __m512i sumsLow;   // pixels 0-15
    __m512i sumsHigh;  // pixels 16-31
    __m512i offsets;
    __m512i counts;

    QV_AVX512 Received()
        : sumsLow(_mm512_setzero_si512()), sumsHigh(sumsLow), offsets(sumsLow), counts(sumsLow)
    {
    }

    // Adds what the spreads `reaching` bring.
    QV_AVX512 void add(__m512i received, Lanes reaching)
    {
        offsets = _mm512_mask_add_epi16(offsets, reaching, offsets, received);
        counts = _mm512_mask_sub_epi16(counts, reaching, counts, _mm512_set1_epi16(-1));
    }

    // Moves the offsets, sign-extended, into the 32-bit sums.
    QV_AVX512 void flush()
    {
        sumsLow = _mm512_add_epi32(sumsLow, _mm512_cvtepi16_epi32(_mm512_castsi512_si256(offsets)));
        sumsHigh = _mm512_add_epi32(sumsHigh, _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(offsets, 1)));
        offsets = _mm512_setzero_si512();
    }

    // The (sum, count) pairs of the first `pixels` (1..32) pixels in order,
    // all offsets flushed, written to `pairs` (added to what it holds when
    // Accumulate).
    template <bool Accumulate>
    QV_AVX512 void write(__m512i luma, int pixels, uint32_t* pairs) const
    {
        // Sums and counts of eight pixels, interleaved, from lanes 0-7 or 8-15.
        const __m512i firstEight = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i lastEight = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        const __m512i halfSums[2] = {sumsLow, sumsHigh};
        const __m512i halfCounts[2] = {avx512::widenLower(counts), avx512::widenUpper(counts)};
        const __m512i halfLuma[2] = {avx512::widenLower(luma), avx512::widenUpper(luma)};
        for (int h = 0; h < 2; ++h) {
            const __m512i sums = _mm512_add_epi32(halfSums[h], _mm512_mullo_epi32(halfCounts[h], halfLuma[h]));
            for (int e = 0; e < 2; ++e) {
                const int part = 2 * h + e;  // pixels 8 part .. 8 part + 7
                const __mmask16 valid = firstOf16(2 * pixels - 16 * part);
                if (!valid)
                    return;
                uint32_t* to = pairs + 16 * part;
                __m512i out = _mm512_permutex2var_epi32(sums, e == 0 ? firstEight : lastEight, halfCounts[h]);
                if constexpr (Accumulate)
                    out = _mm512_add_epi32(out, _mm512_maskz_loadu_epi32(valid, to));
                _mm512_mask_storeu_epi32(to, valid, out);
            }
        }
    }
};

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
    else
        spreadLine(line, reach, tolerance, scratch, pairs);
}

}  // namespace qv
