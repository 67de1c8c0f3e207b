#pragma once

// The deviation arithmetic of window_deviation.cpp on four windows at a
// time, for the AVX2 loops that produce or read the windows (see there for
// why it is exact).

#include "engine/kernels/simd_avx2.h"
#include "engine/kernels/window_deviation.h"

namespace qv::avx2 {

// Four luminance values from p, as doubles.
QV_AVX2 inline __m256d lumaOfFour(const uint16_t* p)
{
    return _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// The divisor of windows of `pixels` pixels, at least 1.
template <DeviationDivisor Divisor>
QV_AVX2 inline __m256d deviationDivisor(__m256d pixels)
{
    __m256d divisor = _mm256_sub_pd(pixels, _mm256_set1_pd(1.0));
    if (Divisor == DeviationDivisor::QuarterWindow)
        divisor = _mm256_floor_pd(_mm256_mul_pd(divisor, _mm256_set1_pd(0.25)));
    return _mm256_max_pd(divisor, _mm256_set1_pd(1.0));
}

// The truncated deviations of four windows plus `half`, as 32-bit integers.
template <DeviationDivisor Divisor>
QV_AVX2 inline __m128i deviationsOfFour(__m256d pixels, __m256d luma, __m256d sum, __m128i half)
{
    const __m256d numerator = _mm256_sub_pd(_mm256_mul_pd(pixels, luma), sum);
    return _mm_add_epi32(_mm256_cvttpd_epi32(_mm256_div_pd(numerator, deviationDivisor<Divisor>(pixels))), half);
}

}  // namespace qv::avx2
