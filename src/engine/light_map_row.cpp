#include "engine/light_map_row.h"

#include <algorithm>

#include <immintrin.h>

#include "engine/simd.h"

namespace qv {

// Every operand is a whole number below 2^53, so the products and the
// difference are exact in double precision, and the quotient, correctly
// rounded, never rounds across an integer: truncating it gives the integer
// quotient. A window of one pixel is the pixel itself (sum = luma), so its
// numerator is 0 and a divisor of 1 answers 0.
void raiseLightMapRowPlain(const uint16_t* luma, const double* sum, const double* count, int half, uint16_t* map,
                           int n)
{
    for (int i = 0; i < n; ++i) {
        const double deviation = (count[i] * luma[i] - sum[i]) / std::max(count[i] - 1.0, 1.0);
        const int q = std::clamp(static_cast<int>(deviation) + half, 0, 65535);
        map[i] = std::max(map[i], static_cast<uint16_t>(q));
    }
}

namespace {

// Four pixels from i: the truncated deviations plus `half` as 32-bit integers.
__attribute__((target("avx2"))) inline __m128i deviationsOfFour(const uint16_t* luma, const double* sum,
                                                                   const double* count, __m128i half, int i)
{
    const __m256d c = _mm256_loadu_pd(count + i);
    const __m256d v = _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + i))));
    const __m256d numerator = _mm256_sub_pd(_mm256_mul_pd(c, v), _mm256_loadu_pd(sum + i));
    const __m256d divisor = _mm256_max_pd(_mm256_sub_pd(c, _mm256_set1_pd(1.0)), _mm256_set1_pd(1.0));
    // A deviation lies within +-65535 * count / (count - 1): 32 bits hold it.
    return _mm_add_epi32(_mm256_cvttpd_epi32(_mm256_div_pd(numerator, divisor)), half);
}

__attribute__((target("avx2"))) int raiseLightMapRowAvx2(const uint16_t* luma, const double* sum,
                                                           const double* count, int half, uint16_t* map, int n)
{
    const __m128i halves = _mm_set1_epi32(half);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        // The unsigned saturating pack limits to 0..65535.
        const __m128i q = _mm_packus_epi32(deviationsOfFour(luma, sum, count, halves, i),
                                           deviationsOfFour(luma, sum, count, halves, i + 4));
        __m128i* m = reinterpret_cast<__m128i*>(map + i);
        _mm_storeu_si128(m, _mm_max_epu16(_mm_loadu_si128(m), q));
    }
    return i;
}

}  // namespace

void raiseLightMapRow(const uint16_t* luma, const double* sum, const double* count, int half, uint16_t* map, int n)
{
    const int done = avx2Enabled() ? raiseLightMapRowAvx2(luma, sum, count, half, map, n) : 0;
    raiseLightMapRowPlain(luma + done, sum + done, count + done, half, map + done, n - done);
}

}  // namespace qv
