// The AVX-512 loop of the tone curve mapping: the AVX2 loop's arithmetic
// (tone_curve_avx2.cpp, where its error bounds are argued), eight pixels at
// once.

#include "engine/kernels/simd_avx512.h"

#include "engine/stages/tone_curve/tone_curve_lanes.h"

namespace qv::tone_lanes {

namespace {

QV_AVX512 inline __m512d broadcast(double value) { return _mm512_set1_pd(value); }

// a * b + sum (two roundings; the build never fuses them).
QV_AVX512 inline __m512d mulAdd(__m512d a, __m512d b, __m512d sum)
{
    return _mm512_add_pd(_mm512_mul_pd(a, b), sum);
}

// e^z for z <= 0, step for step as the AVX2 twin's expNonPositive.
QV_AVX512 inline __m512d expNonPositive(__m512d z)
{
    using namespace exp_series;
    z = _mm512_max_pd(z, broadcast(kLowestExponent));
    const __m512d n = _mm512_roundscale_pd(_mm512_mul_pd(z, broadcast(kLog2E)),
                                           _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m512d r = _mm512_sub_pd(z, _mm512_mul_pd(n, broadcast(kLn2High)));
    r = _mm512_sub_pd(r, _mm512_mul_pd(n, broadcast(kLn2Low)));

    const __m512d r2 = _mm512_mul_pd(r, r);
    const __m512d r4 = _mm512_mul_pd(r2, r2);
    const __m512d r8 = _mm512_mul_pd(r4, r4);
    const __m512d terms0to3 = mulAdd(mulAdd(broadcast(kTerms[3]), r, broadcast(kTerms[2])), r2,
                                     mulAdd(broadcast(kTerms[1]), r, broadcast(kTerms[0])));
    const __m512d terms4to7 = mulAdd(mulAdd(broadcast(kTerms[7]), r, broadcast(kTerms[6])), r2,
                                     mulAdd(broadcast(kTerms[5]), r, broadcast(kTerms[4])));
    const __m512d terms8to11 = mulAdd(mulAdd(broadcast(kTerms[11]), r, broadcast(kTerms[10])), r2,
                                      mulAdd(broadcast(kTerms[9]), r, broadcast(kTerms[8])));
    const __m512d series = mulAdd(terms8to11, r8, mulAdd(terms4to7, r4, terms0to3));

    const __m512i exponent = _mm512_add_epi64(_mm512_cvtepi32_epi64(_mm512_cvtpd_epi32(n)), _mm512_set1_epi64(1023));
    return _mm512_mul_pd(series, _mm512_castsi512_pd(_mm512_slli_epi64(exponent, 52)));
}

// Positions 0.. in groups of eight while they fit below width; answers the
// first position not done.
QV_AVX512 int mapGroups(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                        const float* exponents, int contrast)
{
    const double* logs = lumaLogs();
    const __m512d curveShare = broadcast(static_cast<double>(100 - contrast));
    const __m256i contrastLanes = _mm256_set1_epi32(contrast);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i v = avx2::widen8(luma + x);
        // The neighbourhood's exponent sits at 2 * (65535 - b) in the table.
        // Table look-ups one by one: a quarter faster here than gathers.
        const auto gamma = [&](int i) { return double(exponents[2 * (65535 - blurred[x + i])]); };
        const auto logOf = [&](int i) { return logs[luma[x + i]]; };
        const __m512d exponent =
            _mm512_setr_pd(gamma(0), gamma(1), gamma(2), gamma(3), gamma(4), gamma(5), gamma(6), gamma(7));
        const __m512d logV =
            _mm512_setr_pd(logOf(0), logOf(1), logOf(2), logOf(3), logOf(4), logOf(5), logOf(6), logOf(7));
        const __m512d p = expNonPositive(_mm512_mul_pd(logV, exponent));
        const __m512d curved = _mm512_mul_pd(_mm512_mul_pd(p, broadcast(65535.0)), curveShare);

        const __m256i mixed = _mm256_add_epi32(_mm512_cvttpd_epi32(curved), _mm256_mullo_epi32(v, contrastLanes));
        // (m + 0.5) / 100 lies at least 0.005 inside its integer interval;
        // the results lie in 0..65535.
        const __m256i result = _mm512_cvttpd_epi32(
            _mm512_mul_pd(_mm512_add_pd(_mm512_cvtepi32_pd(mixed), broadcast(0.5)), broadcast(0.01)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_cvtusepi32_epi16(result));

        // Black and white are exact: 0^gamma = 0 and 1^gamma = 1.
        const __m512d below = _mm512_roundscale_pd(_mm512_sub_pd(curved, broadcast(kMargin)), _MM_FROUND_TO_NEG_INF);
        const __m512d above = _mm512_roundscale_pd(_mm512_add_pd(curved, broadcast(kMargin)), _MM_FROUND_TO_NEG_INF);
        const __mmask8 nearInteger = _mm512_cmp_pd_mask(below, above, _CMP_NEQ_UQ);
        const __mmask8 exact = _mm256_cmpeq_epi32_mask(v, _mm256_setzero_si256()) |
                               _mm256_cmpeq_epi32_mask(v, _mm256_set1_epi32(65535));
        for (unsigned redo = nearInteger & ~exact & 0xFFu; redo; redo &= redo - 1) {
            const int lane = __builtin_ctz(redo);
            out[x + lane] = mapPixel(luma[x + lane], blurred[x + lane], exponents, contrast);
        }
    }
    return x;
}

}  // namespace

QV_AVX512 void mapToneCurveRowAvx512(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                                     const float* exponents, int contrast)
{
    const int x = mapGroups(luma, blurred, out, width, exponents, contrast);
    mapPixelsFrom(x, luma, blurred, out, width, exponents, contrast);
}

}  // namespace qv::tone_lanes
