// The merging rows several pixels at a time, with the plain loops'
// operations in the same order and their branches taken as blends.
#include "engine/kernels/simd_avx2.h"
#include "engine/stages/merging/merge_rows.h"

namespace qv {

namespace {

QV_AVX2 inline __m256d set1(double v) { return _mm256_set1_pd(v); }

// where ? a : b
QV_AVX2 inline __m256d pick(__m256d where, __m256d a, __m256d b) { return _mm256_blendv_pd(b, a, where); }

QV_AVX2 inline __m256d less(__m256d a, __m256d b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }

QV_AVX2 inline __m256d add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
QV_AVX2 inline __m256d sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
QV_AVX2 inline __m256d mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
QV_AVX2 inline __m256d div(__m256d a, __m256d b) { return _mm256_div_pd(a, b); }

QV_AVX2 inline __m256d toDoubles(const int32_t* v)
{
    return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v)));
}

// One channel of the conversion back from HSL, t being its hue in turns.
QV_AVX2 __m256d hueToChannel(__m256d p, __m256d q, __m256d t)
{
    const __m256d one = set1(1);
    t = pick(less(t, set1(0)), add(t, one), t);
    t = pick(less(one, t), sub(t, one), t);
    const __m256d rising = add(p, mul(mul(sub(q, p), set1(6)), t));
    const __m256d falling = add(p, mul(mul(sub(q, p), sub(set1(2.0 / 3), t)), set1(6)));
    return pick(less(t, set1(1.0 / 6)), rising,
                pick(less(t, set1(1.0 / 2)), q, pick(less(t, set1(2.0 / 3)), falling, p)));
}

// Chroma of four colours, truncated and limited, stored as (U, V) pairs.
QV_AVX2 void storeChroma(__m256d u, __m256d v, int16_t* out)
{
    const __m128i limit = _mm_set1_epi32(32767);
    const __m128i negLimit = _mm_set1_epi32(-32767);
    const __m128i ui = _mm_max_epi32(_mm_min_epi32(_mm256_cvttpd_epi32(u), limit), negLimit);
    const __m128i vi = _mm_max_epi32(_mm_min_epi32(_mm256_cvttpd_epi32(v), limit), negLimit);
    const __m128i pairs = _mm_packs_epi32(_mm_unpacklo_epi32(ui, vi), _mm_unpackhi_epi32(ui, vi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pairs);
}

// Sixteen signed 16-bit values as two groups of eight 32-bit lanes, in order.
struct Pairs {
    __m256i low, high;
};
QV_AVX2 inline Pairs widenPairs(const int16_t* p)
{
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return {_mm256_cvtepi16_epi32(_mm256_castsi256_si128(v)), _mm256_cvtepi16_epi32(_mm256_extracti128_si256(v, 1))};
}

// Two groups of eight signed 32-bit values within 16 bits back to sixteen
// values in order.
QV_AVX2 inline __m256i narrowSigned(__m256i low, __m256i high)
{
    return _mm256_permute4x64_epi64(_mm256_packs_epi32(low, high), 0xD8);
}

// Each of eight pixels' values repeated for its (U, V) pair: pixels 0-3 and 4-7.
QV_AVX2 inline __m256 pairsLow(__m256 v)
{
    return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
}
QV_AVX2 inline __m256 pairsHigh(__m256 v)
{
    return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
}
QV_AVX2 inline __m256i pairsLow(__m256i v) { return _mm256_castps_si256(pairsLow(_mm256_castsi256_ps(v))); }
QV_AVX2 inline __m256i pairsHigh(__m256i v) { return _mm256_castps_si256(pairsHigh(_mm256_castsi256_ps(v))); }

QV_AVX2 inline __m256i limitChroma(__m256 v)
{
    return _mm256_max_epi32(_mm256_min_epi32(_mm256_cvttps_epi32(v), _mm256_set1_epi32(32767)),
                            _mm256_set1_epi32(-32767));
}

// n / 100 truncated toward zero for |n| below 2^23 (n converts exactly): the
// single-precision quotient, below 2^17, is off by less than 2^-7, while
// n / 100 is an integer or lies at least 0.01 from the next one away from zero.
QV_AVX2 inline __m256i percentOf(__m256i n)
{
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(100.0f)));
}

}  // namespace

QV_AVX2 void scaleChromaRowAvx2(const MergeRow& row, bool halfway)
{
    const __m256i offset = _mm256_set1_epi32(256);
    int x = 0;
    for (; x + 8 <= row.width; x += 8) {
        __m256 k = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(avx2::widen8(row.processed + x), offset)),
                                 _mm256_cvtepi32_ps(_mm256_add_epi32(avx2::widen8(row.source + x), offset)));
        if (halfway)
            k = _mm256_div_ps(_mm256_add_ps(k, _mm256_set1_ps(1.0f)), _mm256_set1_ps(2.0f));
        const Pairs chroma = widenPairs(row.sourceChroma + 2 * x);
        const __m256i low = limitChroma(_mm256_mul_ps(_mm256_cvtepi32_ps(chroma.low), pairsLow(k)));
        const __m256i high = limitChroma(_mm256_mul_ps(_mm256_cvtepi32_ps(chroma.high), pairsHigh(k)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.chroma + 2 * x), narrowSigned(low, high));
    }
    scaleChromaPixels(row, halfway, x, row.width);
}

QV_AVX2 void blendRowAvx2(const MergeRow& row, const uint8_t* weights)
{
    const __m256i hundred = _mm256_set1_epi32(100);
    int x = 0;
    for (; x + 8 <= row.width; x += 8) {
        // Four bytes from each weight's place, the first of them kept.
        const __m256i w = _mm256_and_si256(
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(weights), avx2::widen8(row.area + x), 1),
            _mm256_set1_epi32(0xFF));
        const __m256i rest = _mm256_sub_epi32(hundred, w);
        const __m256i luma = percentOf(_mm256_add_epi32(_mm256_mullo_epi32(w, avx2::widen8(row.luma + x)),
                                                        _mm256_mullo_epi32(avx2::widen8(row.source + x), rest)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row.luma + x), avx2::narrow8(luma));
        const Pairs source = widenPairs(row.sourceChroma + 2 * x);
        const Pairs chroma = widenPairs(row.chroma + 2 * x);
        const __m256i low = percentOf(_mm256_add_epi32(_mm256_mullo_epi32(source.low, pairsLow(rest)),
                                                       _mm256_mullo_epi32(pairsLow(w), chroma.low)));
        const __m256i high = percentOf(_mm256_add_epi32(_mm256_mullo_epi32(source.high, pairsHigh(rest)),
                                                        _mm256_mullo_epi32(pairsHigh(w), chroma.high)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.chroma + 2 * x), narrowSigned(low, high));
    }
    blendPixels(row, weights, x, row.width);
}

QV_AVX2 void relightRowAvx2(const MergeRow& row)
{
    const double whiteValue = row.valueScale - 1;
    const __m256d white = set1(whiteValue);
    const __m256d uScale = set1(whiteValue / 0.872);
    const __m256d vScale = set1(whiteValue / 1.23);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = set1(1);
    const __m256d two = set1(2);
    const __m256d half = set1(0.5);
    const __m256d sixty = set1(60);
    int x = 0;
    for (; x + 4 <= row.width; x += 4) {
        alignas(16) int32_t channel[3][4], shift[2][4];
        for (int i = 0; i < 4; ++i) {
            for (int c = 0; c < 3; ++c)
                channel[c][i] = row.workingBgr[3 * (x + i) + 2 - c];
            shift[0][i] = row.valueScale - row.processed[x + i];
            shift[1][i] = row.valueScale - row.source[x + i];
        }
        const __m256d r = div(toDoubles(channel[0]), white);
        const __m256d g = div(toDoubles(channel[1]), white);
        const __m256d b = div(toDoubles(channel[2]), white);

        // To HSL; greys (hi = lo) keep hue and saturation 0.
        const __m256d hi = _mm256_max_pd(_mm256_max_pd(r, g), b);
        const __m256d lo = _mm256_min_pd(_mm256_min_pd(r, g), b);
        const __m256d l = div(add(hi, lo), two);
        const __m256d grey = _mm256_cmp_pd(hi, lo, _CMP_EQ_OQ);
        const __m256d d = sub(hi, lo);
        const __m256d s = pick(grey, zero,
                               div(d, pick(_mm256_cmp_pd(l, half, _CMP_LE_OQ), add(hi, lo), sub(sub(two, hi), lo))));
        const __m256d redHighest = _mm256_cmp_pd(hi, r, _CMP_EQ_OQ);
        const __m256d greenHighest = _mm256_cmp_pd(hi, g, _CMP_EQ_OQ);
        const __m256d slope =
            div(pick(redHighest, sub(g, b), pick(greenHighest, sub(b, r), sub(r, g))), d);
        __m256d hue = pick(redHighest, mul(sixty, slope), mul(sixty, add(slope, pick(greenHighest, two, set1(4)))));
        hue = pick(less(hue, zero), add(hue, set1(360)), hue);
        hue = pick(grey, zero, hue);

        // The lightness moved, clamped to 0..1.
        const __m256d kept = _mm256_max_pd(l, zero);
        __m256d moved = sub(one, div(mul(sub(one, kept), toDoubles(shift[0])), toDoubles(shift[1])));
        moved = pick(less(moved, zero), zero, moved);
        moved = pick(less(one, moved), one, moved);

        // Back to RGB; saturation 0 gives grey.
        const __m256d q = pick(less(moved, half), mul(moved, add(one, s)), sub(add(moved, s), mul(moved, s)));
        const __m256d p = sub(mul(two, moved), q);
        const __m256d h = div(hue, set1(360));
        const __m256d noSaturation = _mm256_cmp_pd(s, zero, _CMP_EQ_OQ);
        const __m256d red = pick(noSaturation, moved, hueToChannel(p, q, add(h, set1(1.0 / 3))));
        const __m256d green = pick(noSaturation, moved, hueToChannel(p, q, h));
        const __m256d blue = pick(noSaturation, moved, hueToChannel(p, q, sub(h, set1(1.0 / 3))));

        const __m256d u =
            mul(add(sub(mul(set1(-0.14713), red), mul(set1(0.28886), green)), mul(set1(0.436), blue)), uScale);
        const __m256d v =
            mul(sub(sub(mul(set1(0.615), red), mul(set1(0.51499), green)), mul(set1(0.10001), blue)), vScale);
        storeChroma(u, v, row.chroma + 2 * x);
    }
    relightPixels(row, x, row.width);
}

}  // namespace qv
