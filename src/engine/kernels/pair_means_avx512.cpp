// The pair means sixteen at a time with AVX-512: the single-precision
// division of pair_means.cpp (exact while every sum is below 2^24), whose
// results saturate to 16 bits on the way out. A group of sixteen with a
// larger sum goes to the SSE2 loop, which divides it in double precision.
#include "engine/kernels/pair_means.h"
#include "engine/kernels/simd_avx512.h"

namespace qv {

namespace {

template <bool Average>
QV_AVX512 void means16(const uint32_t* pairs, uint16_t* out, int n)
{
    const __m512i sumsAt = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i countsAt = _mm512_add_epi32(sumsAt, _mm512_set1_epi32(1));
    const __m512i large = _mm512_set1_epi32(~0xFFFFFF);  // bits of 2^24 and above
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i first = _mm512_loadu_si512(pairs + 2 * i);
        const __m512i second = _mm512_loadu_si512(pairs + 2 * i + 16);
        const __m512i sums = _mm512_permutex2var_epi32(first, sumsAt, second);
        if (_mm512_test_epi32_mask(sums, large) != 0) {
            (Average ? averageWithMeansSse2 : meansOfPairsSse2)(pairs + 2 * i, out + i, 16);
            continue;
        }
        const __m512i counts = _mm512_permutex2var_epi32(first, countsAt, second);
        __m512i means = _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(sums), _mm512_cvtepi32_ps(counts)));
        if constexpr (Average) {
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i));
            means = _mm512_srli_epi32(_mm512_add_epi32(means, _mm512_cvtepu16_epi32(old)), 1);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm512_cvtusepi32_epi16(means));
    }
    (Average ? averageWithMeansSse2 : meansOfPairsSse2)(pairs + 2 * i, out + i, n - i);
}

}  // namespace

QV_AVX512 void meansOfPairsAvx512(const uint32_t* pairs, uint16_t* out, int n) { means16<false>(pairs, out, n); }
QV_AVX512 void averageWithMeansAvx512(const uint32_t* pairs, uint16_t* values, int n)
{
    means16<true>(pairs, values, n);
}

}  // namespace qv
