#include "engine/kernels/pair_means.h"

#include <algorithm>

#include "engine/kernels/simd.h"

#ifdef QV_X86_SIMD
#include <emmintrin.h>
#endif

namespace qv {

namespace {

// Plain and vector loops share one shape: `Average` selects whether the old
// value is averaged in. Both limit what they store to 65535.
template <bool Average>
void plainMeans(const uint32_t* pairs, uint16_t* out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t mean = pairs[2 * i] / pairs[2 * i + 1];
        out[i] = static_cast<uint16_t>(std::min<uint32_t>(Average ? (mean + out[i]) >> 1 : mean, 65535));
    }
}

#ifdef QV_X86_SIMD
// Double-precision division truncated gives the integer quotient of 32-bit
// operands: when count divides sum, the quotient is a whole number below
// 2^32 and exact; otherwise it lies at least 1 / count below the next whole
// number, while correct rounding moves it by at most sum / count * 2^-53 <
// 2^-21 / count, so it neither reaches that number nor drops below the
// whole number under it (a double too). Two divisions per instruction
// instead of one slow integer division each.
// SSE2 is part of every x86-64 processor: no check at run time needed.

// Two unsigned 32-bit values (the low two lanes) as doubles.
inline __m128d unsignedToDouble(__m128i v)
{
    const __m128i flipped = _mm_xor_si128(v, _mm_set1_epi32(INT32_MIN));
    return _mm_add_pd(_mm_cvtepi32_pd(flipped), _mm_set1_pd(2147483648.0));
}

// The two quotients of pairs p[0..3] (sum, count, sum, count) in the low lanes.
inline __m128i quotientsOfTwo(const uint32_t* p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i sums = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0));  // s0 s1 in the low lanes
    const __m128i counts = _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 0, 3, 1)); // c0 c1 in the low lanes
    // Counts are small and positive: a signed conversion is exact.
    return _mm_cvttpd_epi32(_mm_div_pd(unsignedToDouble(sums), _mm_cvtepi32_pd(counts)));
}

// The four quotients of pairs p[0..7]. In single precision, four divisions
// per instruction, when every sum is below 2^24: sums then convert exactly,
// and so do counts below 2^24 (a larger count converts to 2^24 or more, and
// the quotient stays below 1, truncated to 0 as it should). A whole
// quotient is then exact; any other, k + f with 1 - f >= 1 / count, moves
// by at most quotient * 2^-24 = sum / count * 2^-24 < 1 / count when
// correctly rounded, so it neither reaches k + 1 nor drops below k (a float
// too). Otherwise in double precision.
inline __m128i quotientsOfFour(const uint32_t* p)
{
    // s0 c0 s1 c1 and s2 c2 s3 c3 as s0 s1 c0 c1 and s2 s3 c2 c3.
    auto sumsThenCounts = [](const uint32_t* q) {
        return _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)), _MM_SHUFFLE(3, 1, 2, 0));
    };
    const __m128i first = sumsThenCounts(p);
    const __m128i second = sumsThenCounts(p + 4);
    const __m128i sums = _mm_unpacklo_epi64(first, second);
    const __m128i small = _mm_cmpeq_epi32(_mm_srli_epi32(sums, 24), _mm_setzero_si128());
    if (_mm_movemask_epi8(small) != 0xFFFF)
        return _mm_unpacklo_epi64(quotientsOfTwo(p), quotientsOfTwo(p + 4));
    const __m128i counts = _mm_unpackhi_epi64(first, second);
    return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(sums), _mm_cvtepi32_ps(counts)));
}

// Eight means per loop, four from each division; the 32-bit lanes are
// packed to 16 bits with signed saturation around 32768: exact for 0..65535,
// and 65535 for anything above that the lanes hold (below 2^31).
template <bool Average>
void vectorMeans(const uint32_t* pairs, uint16_t* out, int n)
{
    const __m128i bias = _mm_set1_epi32(32768);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        // Means are below 2^31, so the signed truncation is exact.
        __m128i low = quotientsOfFour(pairs + 2 * i);
        __m128i high = quotientsOfFour(pairs + 2 * i + 8);
        if (Average) {
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
            low = _mm_srli_epi32(_mm_add_epi32(low, _mm_unpacklo_epi16(old, _mm_setzero_si128())), 1);
            high = _mm_srli_epi32(_mm_add_epi32(high, _mm_unpackhi_epi16(old, _mm_setzero_si128())), 1);
        }
        const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(low, bias), _mm_sub_epi32(high, bias));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(packed, _mm_set1_epi16(-32768)));
    }
    plainMeans<Average>(pairs + 2 * i, out + i, n - i);
}
#else
template <bool Average>
void vectorMeans(const uint32_t* pairs, uint16_t* out, int n)
{
    plainMeans<Average>(pairs, out, n);
}
#endif

}  // namespace

using PairMeansFn = void (*)(const uint32_t* pairs, uint16_t* out, int n);

void meansOfPairs(const uint32_t* pairs, uint16_t* out, int n)
{
    pickKernel<PairMeansFn>(meansOfPairsSse2, nullptr, QV_AVX512_TWIN(meansOfPairsAvx512))(pairs, out, n);
}
void averageWithMeans(const uint32_t* pairs, uint16_t* values, int n)
{
    pickKernel<PairMeansFn>(averageWithMeansSse2, nullptr, QV_AVX512_TWIN(averageWithMeansAvx512))(pairs, values, n);
}
void meansOfPairsSse2(const uint32_t* pairs, uint16_t* out, int n) { vectorMeans<false>(pairs, out, n); }
void averageWithMeansSse2(const uint32_t* pairs, uint16_t* values, int n) { vectorMeans<true>(pairs, values, n); }
void meansOfPairsPlain(const uint32_t* pairs, uint16_t* out, int n) { plainMeans<false>(pairs, out, n); }
void averageWithMeansPlain(const uint32_t* pairs, uint16_t* values, int n) { plainMeans<true>(pairs, values, n); }

}  // namespace qv
