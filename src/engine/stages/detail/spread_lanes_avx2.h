#pragma once

// Internal to the spreading walks with AVX2: what 16 pixels receive from
// the spreads that meet them, one 16-bit lane each. Shared by the walk
// along a line (short_spreading_avx2.cpp) and the walk of a strip of
// columns along the rows (strip_spreading_avx2.cpp).

#include <cstdint>

#include "engine/kernels/simd_avx2.h"

namespace qv::spread_lanes_avx2 {

// Pixels of a line handled as one vector: one 16-bit lane each.
constexpr int kLanes = 16;

// What the spreads meeting 16 pixels at one step add to them, as offsets
// from each pixel's luminance L: every value a pixel receives lies within T
// of L, so with T at most kShortTolerance the offsets fit 16 signed bits.
// The pixels' band ends are taken from the pixels' side: a spread of value
// v is inside at a pixel when L - T <= v <= L + T, the ends saturated at 0
// and 65535, beyond which no value lies. Outside, the pixel receives its
// luminance pulled towards v: L - down when v lies below the band (the
// pixel is brighter than the spread's band), L + up when v lies above it.
struct Meeting {
    __m256i luma;
    __m256i low, high;  // the band ends around each pixel's luminance

    QV_AVX2 Meeting(__m256i pixels, __m256i tolerance)
        : luma(pixels), low(_mm256_subs_epu16(pixels, tolerance)), high(_mm256_adds_epu16(pixels, tolerance))
    {
    }

    // The offset each pixel receives from the spread of `value`, given the
    // offsets -down and up of the pulled values; `inside` marks the spreads
    // that go on.
    QV_AVX2 __m256i received(__m256i value, __m256i minusDown, __m256i up, __m256i& inside) const
    {
        const __m256i atLeastLow = _mm256_max_epu16(value, low);
        inside = _mm256_cmpeq_epi16(_mm256_min_epu16(atLeastLow, high), value);
        const __m256i pulled = _mm256_blendv_epi8(minusDown, up, _mm256_cmpeq_epi16(atLeastLow, value));
        return _mm256_blendv_epi8(pulled, _mm256_sub_epi16(value, luma), inside);
    }
};

// The sums and counts one vector of pixels receives, kept in registers while
// the spreads step over them. The offsets from the luminance add up in 16
// bits for as many steps as they cannot overflow there, then go into the
// 32-bit sums; the luminance times the count is added when written.
struct Received {
    __m256i sumsLow;   // pixels 0-7
    __m256i sumsHigh;  // pixels 8-15
    __m256i offsets;
    __m256i counts;

    QV_AVX2 Received()
        : sumsLow(_mm256_setzero_si256()), sumsHigh(sumsLow), offsets(sumsLow), counts(sumsLow)
    {
    }

    // Adds what the spreads `reaching` (all-ones lanes) bring.
    QV_AVX2 void add(__m256i received, __m256i reaching)
    {
        offsets = _mm256_add_epi16(offsets, _mm256_and_si256(received, reaching));
        counts = _mm256_sub_epi16(counts, reaching);
    }

    // Moves the offsets, sign-extended, into the 32-bit sums.
    QV_AVX2 void flush()
    {
        sumsLow = _mm256_add_epi32(sumsLow, _mm256_cvtepi16_epi32(_mm256_castsi256_si128(offsets)));
        sumsHigh = _mm256_add_epi32(sumsHigh, _mm256_cvtepi16_epi32(_mm256_extracti128_si256(offsets, 1)));
        offsets = _mm256_setzero_si256();
    }

    // Eight sums: the offsets' sums plus the luminance times the counts.
    QV_AVX2 static __m256i sums(__m256i offsetSums, __m256i counts, __m128i luma)
    {
        return _mm256_add_epi32(offsetSums, _mm256_mullo_epi32(counts, _mm256_cvtepu16_epi32(luma)));
    }

    // Pairs 0-3 (part 0) or 4-7 (part 1) of eight sums and counts.
    QV_AVX2 static __m256i interleaved(__m256i sums, __m256i counts, int part)
    {
        const __m256i lo = _mm256_unpacklo_epi32(sums, counts);
        const __m256i hi = _mm256_unpackhi_epi32(sums, counts);
        return part == 0 ? _mm256_permute2x128_si256(lo, hi, 0x20) : _mm256_permute2x128_si256(lo, hi, 0x31);
    }

    // The 16 (sum, count) pairs in pixel order, all offsets flushed: 32
    // values, added to what `pairs` holds when Accumulate.
    template <bool Accumulate>
    QV_AVX2 void write(__m256i luma, uint32_t* pairs) const
    {
        const __m256i countsLow = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(counts));
        const __m256i countsHigh = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(counts, 1));
        const __m256i low = sums(sumsLow, countsLow, _mm256_castsi256_si128(luma));
        const __m256i high = sums(sumsHigh, countsHigh, _mm256_extracti128_si256(luma, 1));
        const __m256i out[4] = {interleaved(low, countsLow, 0), interleaved(low, countsLow, 1),
                                interleaved(high, countsHigh, 0), interleaved(high, countsHigh, 1)};
        for (int k = 0; k < 4; ++k) {
            __m256i* to = reinterpret_cast<__m256i*>(pairs + 8 * k);
            _mm256_storeu_si256(to, Accumulate ? _mm256_add_epi32(_mm256_loadu_si256(to), out[k]) : out[k]);
        }
    }
};

}  // namespace qv::spread_lanes_avx2
