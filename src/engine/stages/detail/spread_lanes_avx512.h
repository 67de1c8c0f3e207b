#pragma once

// Internal to the spreading walks with AVX-512: what 32 pixels receive from
// the spreads that meet them, one 16-bit lane each. Shared by the walk
// along a line (short_spreading_avx512.cpp) and the walk of a strip of
// columns along the rows (strip_spreading_avx512.cpp).

#include <cstdint>

#include "engine/kernels/simd_avx512.h"

namespace qv::spread_lanes {

// Pixels of a line handled as one vector: one 16-bit lane each.
constexpr int kLanes = 32;

using Lanes = __mmask32;

// What the spreads meeting 32 pixels at one step add to them, as offsets
// from each pixel's luminance L (as in short_spreading_avx2.cpp): L - T <= v <= L + T is
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

}  // namespace qv::spread_lanes
