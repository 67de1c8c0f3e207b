#include "engine/kernels/window_deviation.h"

#include <algorithm>
#include <cmath>

#include <immintrin.h>

#include "engine/kernels/simd.h"

namespace qv {

// Windows hold fewer than 2^37 pixels (images at most 2^28), so N * v and
// the window sum stay below 2^53: the numerator a is exact in double
// precision, and so is the divisor b (a quarter is an exact division by a
// power of two, its floor exact too). a / b lies at least 1 / b away from
// every whole number it does not equal, while correct rounding moves it by
// at most |a / b| * 2^-53 < 1 / b: it never rounds onto or across a whole
// number, and truncating it gives the integer quotient, toward zero for
// either sign.

namespace {

template <DeviationDivisor Divisor, DeviationOutput Output>
void writePlain(const DeviationRow& row, int half, uint16_t* out, int first)
{
    for (int i = first; i < row.count; ++i) {
        const double others = row.pixels[i] - 1.0;
        const double divisor = std::max(Divisor == DeviationDivisor::OtherPixels ? others : std::floor(others / 4.0), 1.0);
        const double deviation = (row.pixels[i] * row.luma[i] - row.sum[i]) / divisor;
        // |deviation| <= 7 * 65535 (pixels - 1 over its quarter is at most 7).
        const auto q = static_cast<uint16_t>(std::clamp(static_cast<int>(deviation) + half, 0, 65535));
        out[i] = Output == DeviationOutput::Raise ? std::max(out[i], q) : q;
    }
}

// Four pixels from i: the truncated deviations plus `half` as 32-bit integers.
template <DeviationDivisor Divisor>
__attribute__((target("avx2"))) inline __m128i deviationsOfFour(const DeviationRow& row, __m128i half, int i)
{
    const __m256d pixels = _mm256_loadu_pd(row.pixels + i);
    const __m256d luma =
        _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.luma + i))));
    const __m256d numerator = _mm256_sub_pd(_mm256_mul_pd(pixels, luma), _mm256_loadu_pd(row.sum + i));
    __m256d divisor = _mm256_sub_pd(pixels, _mm256_set1_pd(1.0));
    if (Divisor == DeviationDivisor::QuarterWindow)
        divisor = _mm256_floor_pd(_mm256_mul_pd(divisor, _mm256_set1_pd(0.25)));
    divisor = _mm256_max_pd(divisor, _mm256_set1_pd(1.0));
    return _mm_add_epi32(_mm256_cvttpd_epi32(_mm256_div_pd(numerator, divisor)), half);
}

template <DeviationDivisor Divisor, DeviationOutput Output>
__attribute__((target("avx2"))) int writeAvx2(const DeviationRow& row, int half, uint16_t* out)
{
    const __m128i halves = _mm_set1_epi32(half);
    int i = 0;
    for (; i + 8 <= row.count; i += 8) {
        // The unsigned saturating pack limits to 0..65535.
        __m128i q = _mm_packus_epi32(deviationsOfFour<Divisor>(row, halves, i),
                                     deviationsOfFour<Divisor>(row, halves, i + 4));
        __m128i* o = reinterpret_cast<__m128i*>(out + i);
        if (Output == DeviationOutput::Raise)
            q = _mm_max_epu16(_mm_loadu_si128(o), q);
        _mm_storeu_si128(o, q);
    }
    return i;
}

template <DeviationDivisor Divisor, DeviationOutput Output>
void writeWith(const DeviationRow& row, int half, uint16_t* out, bool vectors)
{
    const int done = vectors ? writeAvx2<Divisor, Output>(row, half, out) : 0;
    writePlain<Divisor, Output>(row, half, out, done);
}

template <DeviationDivisor Divisor>
void writeTo(const DeviationRow& row, DeviationOutput output, int half, uint16_t* out, bool vectors)
{
    if (output == DeviationOutput::Raise)
        writeWith<Divisor, DeviationOutput::Raise>(row, half, out, vectors);
    else
        writeWith<Divisor, DeviationOutput::Store>(row, half, out, vectors);
}

void write(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half, uint16_t* out,
           bool vectors)
{
    if (divisor == DeviationDivisor::OtherPixels)
        writeTo<DeviationDivisor::OtherPixels>(row, output, half, out, vectors);
    else
        writeTo<DeviationDivisor::QuarterWindow>(row, output, half, out, vectors);
}

}  // namespace

void writeDeviations(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                     uint16_t* out)
{
    write(row, divisor, output, half, out, avx2Enabled());
}

void writeDeviationsPlain(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                          uint16_t* out)
{
    write(row, divisor, output, half, out, false);
}

}  // namespace qv
