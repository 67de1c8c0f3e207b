// The artistic mode's row with AVX-512: the AVX2 twin's double-precision
// operations (merge_rows_avx2.cpp), in the same order, on eight pixels a
// vector, their blends as lane masks; the channels are taken out of the
// 48-bit pixels with one permutation each instead of one by one.
#include "engine/kernels/simd_avx512.h"
#include "engine/stages/merging/merge_rows.h"

namespace qv {

namespace {

using Doubles = __m512d;
using Mask = __mmask8;

QV_AVX512 inline Doubles set1(double v) { return _mm512_set1_pd(v); }
// where ? a : b
QV_AVX512 inline Doubles pick(Mask where, Doubles a, Doubles b) { return _mm512_mask_blend_pd(where, b, a); }
QV_AVX512 inline Mask less(Doubles a, Doubles b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
QV_AVX512 inline Mask equal(Doubles a, Doubles b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
QV_AVX512 inline Doubles add(Doubles a, Doubles b) { return _mm512_add_pd(a, b); }
QV_AVX512 inline Doubles sub(Doubles a, Doubles b) { return _mm512_sub_pd(a, b); }
QV_AVX512 inline Doubles mul(Doubles a, Doubles b) { return _mm512_mul_pd(a, b); }
QV_AVX512 inline Doubles div(Doubles a, Doubles b) { return _mm512_div_pd(a, b); }

// Eight 32-bit integers as doubles.
QV_AVX512 inline Doubles toDoubles(__m256i v) { return _mm512_cvtepi32_pd(v); }

// Eight 16-bit values picked by `index` from `v`, widened to 32 bits.
QV_AVX512 inline __m256i pickWords(__m512i v, __m512i index)
{
    return _mm256_cvtepu16_epi32(_mm512_castsi512_si128(_mm512_permutexvar_epi16(index, v)));
}

// One channel of the conversion back from HSL, t being its hue in turns.
QV_AVX512 Doubles hueToChannel(Doubles p, Doubles q, Doubles t)
{
    const Doubles one = set1(1);
    t = pick(less(t, set1(0)), add(t, one), t);
    t = pick(less(one, t), sub(t, one), t);
    const Doubles rising = add(p, mul(mul(sub(q, p), set1(6)), t));
    const Doubles falling = add(p, mul(mul(sub(q, p), sub(set1(2.0 / 3), t)), set1(6)));
    return pick(less(t, set1(1.0 / 6)), rising,
                pick(less(t, set1(1.0 / 2)), q, pick(less(t, set1(2.0 / 3)), falling, p)));
}

// Chroma of eight colours, truncated and limited, stored as (U, V) pairs.
QV_AVX512 void storeChroma(Doubles u, Doubles v, int16_t* out)
{
    const __m256i limit = _mm256_set1_epi32(32767);
    const __m256i negLimit = _mm256_set1_epi32(-32767);
    const __m256i ui = _mm256_max_epi32(_mm256_min_epi32(_mm512_cvttpd_epi32(u), limit), negLimit);
    const __m256i vi = _mm256_max_epi32(_mm256_min_epi32(_mm512_cvttpd_epi32(v), limit), negLimit);
    const __m256i pairs = _mm256_or_si256(_mm256_and_si256(ui, _mm256_set1_epi32(0xFFFF)), _mm256_slli_epi32(vi, 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pairs);
}

}  // namespace

QV_AVX512 void relightRowAvx512(const MergeRow& row)
{
    const double whiteValue = row.valueScale - 1;
    const Doubles white = set1(whiteValue);
    const Doubles uScale = set1(whiteValue / 0.872);
    const Doubles vScale = set1(whiteValue / 1.23);
    const Doubles zero = _mm512_setzero_pd();
    const Doubles one = set1(1);
    const Doubles two = set1(2);
    const Doubles half = set1(0.5);
    const Doubles sixty = set1(60);
    const __m256i scale = _mm256_set1_epi32(row.valueScale);
    // Channel c of pixel i lies at word 3 i + c (blue, green, red).
    const __m512i pixel = _mm512_set_epi16(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21,
                                           18, 15, 12, 9, 6, 3, 0);
    const __m512i redAt = _mm512_add_epi16(pixel, _mm512_set1_epi16(2));
    const __m512i greenAt = _mm512_add_epi16(pixel, _mm512_set1_epi16(1));
    int x = 0;
    for (; x + 8 <= row.width; x += 8) {
        const __m512i bgr = _mm512_maskz_loadu_epi16(0xFFFFFF, row.workingBgr + 3 * x);
        const Doubles r = div(toDoubles(pickWords(bgr, redAt)), white);
        const Doubles g = div(toDoubles(pickWords(bgr, greenAt)), white);
        const Doubles b = div(toDoubles(pickWords(bgr, pixel)), white);
        const __m256i processed = avx2::widen8(row.processed + x);
        const __m256i source = avx2::widen8(row.source + x);

        // To HSL; greys (hi = lo) keep hue and saturation 0.
        const Doubles hi = _mm512_max_pd(_mm512_max_pd(r, g), b);
        const Doubles lo = _mm512_min_pd(_mm512_min_pd(r, g), b);
        const Doubles l = mul(add(hi, lo), half);  // as (hi + lo) / 2: halving is exact
        const Mask grey = equal(hi, lo);
        const Doubles d = sub(hi, lo);
        const Doubles s =
            pick(grey, zero, div(d, pick(_mm512_cmp_pd_mask(l, half, _CMP_LE_OQ), add(hi, lo), sub(sub(two, hi), lo))));
        const Mask redHighest = equal(hi, r);
        const Mask greenHighest = equal(hi, g);
        const Doubles slope = div(pick(redHighest, sub(g, b), pick(greenHighest, sub(b, r), sub(r, g))), d);
        Doubles hue = pick(redHighest, mul(sixty, slope), mul(sixty, add(slope, pick(greenHighest, two, set1(4)))));
        hue = pick(less(hue, zero), add(hue, set1(360)), hue);
        hue = pick(grey, zero, hue);

        // The lightness moved, clamped to 0..1.
        const Doubles kept = _mm512_max_pd(l, zero);
        Doubles moved = sub(one, div(mul(sub(one, kept), toDoubles(_mm256_sub_epi32(scale, processed))),
                                     toDoubles(_mm256_sub_epi32(scale, source))));
        moved = pick(less(moved, zero), zero, moved);
        moved = pick(less(one, moved), one, moved);

        // Back to RGB; saturation 0 gives grey.
        const Doubles q = pick(less(moved, half), mul(moved, add(one, s)), sub(add(moved, s), mul(moved, s)));
        const Doubles p = sub(mul(two, moved), q);
        const Doubles h = div(hue, set1(360));
        const Mask noSaturation = equal(s, zero);
        const Doubles red = pick(noSaturation, moved, hueToChannel(p, q, add(h, set1(1.0 / 3))));
        const Doubles green = pick(noSaturation, moved, hueToChannel(p, q, h));
        const Doubles blue = pick(noSaturation, moved, hueToChannel(p, q, sub(h, set1(1.0 / 3))));

        const Doubles u =
            mul(add(sub(mul(set1(-0.14713), red), mul(set1(0.28886), green)), mul(set1(0.436), blue)), uScale);
        const Doubles v =
            mul(sub(sub(mul(set1(0.615), red), mul(set1(0.51499), green)), mul(set1(0.10001), blue)), vScale);
        storeChroma(u, v, row.chroma + 2 * x);
    }
    relightPixels(row, x, row.width);
}

}  // namespace qv
