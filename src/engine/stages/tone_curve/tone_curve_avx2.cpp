// The AVX2 loop of the tone curve mapping (and the table both vector loops
// share). The power (V / 65535)^gamma is
// computed as exp(gamma * log x) with a table of the 65536 logarithms and
// a polynomial exponential, whose relative error stays below 3e-14 (at
// most 2e-7 on p * 65535 * k, which is below 6.6e6). Where the product is
// closer than kMargin to an integer, so that this error could change its
// truncation, the pixel is recomputed with the exact power; everywhere
// else the truncated value is the one the exact power gives.

#include "engine/kernels/simd_avx2.h"

#include "engine/stages/tone_curve/tone_curve_lanes.h"

namespace qv::tone_lanes {

namespace {

// log((float)v / 65535), the first factor of the exponent.
struct LumaLogs {
    double values[65536];
    LumaLogs()
    {
        for (int v = 0; v < 65536; ++v)
            values[v] = std::log(static_cast<double>(static_cast<float>(v) / 65535.0f));
    }
};

}  // namespace

const double* lumaLogs()
{
    static const LumaLogs logs;
    return logs.values;
}

namespace {

QV_AVX2 inline __m256d broadcast(double value) { return _mm256_set1_pd(value); }

// a * b + sum (two roundings; the build never fuses them).
QV_AVX2 inline __m256d mulAdd(__m256d a, __m256d b, __m256d sum)
{
    return _mm256_add_pd(_mm256_mul_pd(a, b), sum);
}

// e^z for z <= 0 (minus infinity included): z = n ln2 + r with |r| <= ln2/2,
// e^r by its Taylor series to r^11 (remainder below 1.3e-14), evaluated in
// a shallow tree rather than one long chain of dependent steps, 2^n from
// the exponent bits. Below -700 it answers e^-700, which truncates to 0
// alike.
QV_AVX2 inline __m256d expNonPositive(__m256d z)
{
    using namespace exp_series;
    z = _mm256_max_pd(z, broadcast(kLowestExponent));
    const __m256d n =
        _mm256_round_pd(_mm256_mul_pd(z, broadcast(kLog2E)), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256d r = _mm256_sub_pd(z, _mm256_mul_pd(n, broadcast(kLn2High)));
    r = _mm256_sub_pd(r, _mm256_mul_pd(n, broadcast(kLn2Low)));

    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d r4 = _mm256_mul_pd(r2, r2);
    const __m256d r8 = _mm256_mul_pd(r4, r4);
    const __m256d terms0to3 = mulAdd(mulAdd(broadcast(kTerms[3]), r, broadcast(kTerms[2])), r2,
                                     mulAdd(broadcast(kTerms[1]), r, broadcast(kTerms[0])));
    const __m256d terms4to7 = mulAdd(mulAdd(broadcast(kTerms[7]), r, broadcast(kTerms[6])), r2,
                                     mulAdd(broadcast(kTerms[5]), r, broadcast(kTerms[4])));
    const __m256d terms8to11 = mulAdd(mulAdd(broadcast(kTerms[11]), r, broadcast(kTerms[10])), r2,
                                      mulAdd(broadcast(kTerms[9]), r, broadcast(kTerms[8])));
    const __m256d series = mulAdd(terms8to11, r8, mulAdd(terms4to7, r4, terms0to3));

    const __m256i exponent = _mm256_add_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(n)), _mm256_set1_epi64x(1023));
    return _mm256_mul_pd(series, _mm256_castsi256_pd(_mm256_slli_epi64(exponent, 52)));
}

// Positions 0.. in groups of four while they fit below width; answers the
// first position not done.
QV_AVX2 int mapGroups(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width, const float* exponents,
                      int contrast)
{
    const double* logs = lumaLogs();
    const __m256d curveShare = _mm256_set1_pd(static_cast<double>(100 - contrast));
    const __m128i contrastLanes = _mm_set1_epi32(contrast);
    const __m128i white = _mm_set1_epi32(65535);
    const __m128i black = _mm_setzero_si128();
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i v = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + x)));
        // Table look-ups one by one: faster than gathers on some processors.
        const auto gamma = [&](int i) { return double(exponents[2 * (65535 - blurred[x + i])]); };
        const __m256d exponent = _mm256_setr_pd(gamma(0), gamma(1), gamma(2), gamma(3));
        const __m256d logV = _mm256_setr_pd(logs[luma[x]], logs[luma[x + 1]], logs[luma[x + 2]], logs[luma[x + 3]]);
        const __m256d p = expNonPositive(_mm256_mul_pd(logV, exponent));
        const __m256d curved = _mm256_mul_pd(_mm256_mul_pd(p, _mm256_set1_pd(65535.0)), curveShare);

        const __m128i mixed = _mm_add_epi32(_mm256_cvttpd_epi32(curved), _mm_mullo_epi32(v, contrastLanes));
        // (m + 0.5) / 100 lies at least 0.005 inside its integer interval.
        const __m128i result = _mm256_cvttpd_epi32(
            _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(mixed), _mm256_set1_pd(0.5)), _mm256_set1_pd(0.01)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi32(result, result));

        // Black and white are exact: 0^gamma = 0 and 1^gamma = 1.
        const __m256d below = _mm256_floor_pd(_mm256_sub_pd(curved, _mm256_set1_pd(kMargin)));
        const __m256d above = _mm256_floor_pd(_mm256_add_pd(curved, _mm256_set1_pd(kMargin)));
        const int nearInteger = _mm256_movemask_pd(_mm256_cmp_pd(below, above, _CMP_NEQ_UQ));
        const int exact =
            _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(_mm_cmpeq_epi32(v, black), _mm_cmpeq_epi32(v, white))));
        if (const int redo = nearInteger & ~exact) {
            for (int lane = 0; lane < 4; ++lane)
                if (redo & (1 << lane))
                    out[x + lane] = mapPixel(luma[x + lane], blurred[x + lane], exponents, contrast);
        }
    }
    return x;
}

}  // namespace

QV_AVX2 void mapToneCurveRowAvx2(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                                 const float* exponents, int contrast)
{
    const int x = mapGroups(luma, blurred, out, width, exponents, contrast);
    mapPixelsFrom(x, luma, blurred, out, width, exponents, contrast);
}

}  // namespace qv::tone_lanes
