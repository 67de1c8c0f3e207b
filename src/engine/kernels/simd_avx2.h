#pragma once

// The AVX2 side of simd.h, for *_avx2.cpp files only (the build compiles
// them for x86-64 alone): the one spelling of the target attribute and
// small helpers over 16 unsigned 16-bit lanes. Only the functions marked
// QV_AVX2 use AVX2, so nothing else in those files needs it and they run
// only after pickKernel chose them.

#ifndef QV_X86_SIMD
#error "simd_avx2.h belongs to the x86-64 build (QV_X86_SIMD)"
#endif

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#define QV_AVX2 __attribute__((target("avx2")))

namespace qv::avx2 {

QV_AVX2 inline __m256i load(const uint16_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

QV_AVX2 inline void store(uint16_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Eight unsigned 16-bit values from p as 32-bit lanes.
QV_AVX2 inline __m256i widen8(const uint16_t* p)
{
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Eight 32-bit lanes back to eight unsigned 16-bit values, in order,
// limited to 0..65535.
QV_AVX2 inline __m128i narrow8(__m256i v)
{
    return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Each lane's index, 0..15.
QV_AVX2 inline __m256i laneIndex() { return _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }

// The first `lanes` of the 16 lanes, as all-ones lanes: none for 0 or
// less, all for 16 or more.
QV_AVX2 inline __m256i firstLanes(int lanes)
{
    return _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(std::clamp(lanes, 0, 16))), laneIndex());
}

// Lanes where a > b.
QV_AVX2 inline __m256i greater(__m256i a, __m256i b)
{
    return _mm256_xor_si256(_mm256_cmpeq_epi16(_mm256_subs_epu16(a, b), _mm256_setzero_si256()),
                            _mm256_set1_epi16(-1));
}

// Lanes where a <= b.
QV_AVX2 inline __m256i atMost(__m256i a, __m256i b) { return _mm256_cmpeq_epi16(_mm256_min_epu16(a, b), a); }

// Lanes where lo <= v <= hi.
QV_AVX2 inline __m256i within(__m256i v, __m256i lo, __m256i hi)
{
    return _mm256_cmpeq_epi16(_mm256_min_epu16(_mm256_max_epu16(v, lo), hi), v);
}

QV_AVX2 inline __m256i absDiff(__m256i a, __m256i b)
{
    return _mm256_or_si256(_mm256_subs_epu16(a, b), _mm256_subs_epu16(b, a));
}

// How many steps 16-bit lane sums that grow by at most `largestStep` a step
// stay exact before they must be added into wider ones: at least 1.
inline int flushInterval(int64_t largestStep)
{
    return static_cast<int>(std::max<int64_t>(1, 65535 / std::max<int64_t>(1, largestStep)));
}

// The column offsets that keep lane l of a block of walks, at column x + l,
// inside a row of `width`: lowest[l] <= dx <= highest[l]. Clamped to 16
// bits, as no walk reaches that far.
template <int Lanes>
void laneColumnLimits(int x, int width, int16_t (&lowest)[Lanes], int16_t (&highest)[Lanes])
{
    for (int l = 0; l < Lanes; ++l) {
        lowest[l] = static_cast<int16_t>(std::max(-(x + l), -32768));
        highest[l] = static_cast<int16_t>(std::min(width - 1 - (x + l), 32767));
    }
}

// Whether the `Lanes`-wide loads of a block of walks starting at column x0
// stay inside the plane the row walks over (its fields: width, height, y,
// rowsUp, rowsDown, reach); near the plane's first and last pixels the
// outer lanes of a block by the left or right edge would reach past it.
template <int Lanes = 16, class Row>
bool blockLoadsStayInside(const Row& row, int x0)
{
    const std::ptrdiff_t w = row.width;
    const std::ptrdiff_t first = std::max(row.y - row.rowsUp, 0) * w + x0 - row.reach;
    const std::ptrdiff_t last =
        std::min(row.y + row.rowsDown, row.height - 1) * w + x0 + (Lanes - 1) + row.reach;
    return first >= 0 && last < w * row.height;
}

}  // namespace qv::avx2
