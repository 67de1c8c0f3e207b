// The spike test for 16 pixels inside the image at once, without branches:
// every condition of the scalar test becomes a lane mask.
#include "engine/kernels/simd_avx2.h"
#include "engine/stages/smoothing/smoothing_spike.h"

namespace qv {

namespace {

using avx2::absDiff;
using avx2::greater;
using avx2::load;

// (n1 + ... + n7) / 7 per lane: the sum in 32 bits, divided in single
// precision (exact: the quotient never lies within 1/7 of the next integer
// by less than the rounding error).
QV_AVX2 inline __m256i meanOfSeven(const __m256i* n)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i lo = zero, hi = zero;
    for (int k = 1; k < 8; ++k) {
        lo = _mm256_add_epi32(lo, _mm256_unpacklo_epi16(n[k], zero));
        hi = _mm256_add_epi32(hi, _mm256_unpackhi_epi16(n[k], zero));
    }
    const __m256 seven = _mm256_set1_ps(7.0f);
    lo = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(lo), seven));
    hi = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(hi), seven));
    return _mm256_packus_epi32(lo, hi);  // undoes the unpacking's lane order
}

}  // namespace

QV_AVX2 void spikeFilterInteriorAvx2(const uint16_t* in, int width, int x, int y, const SpikeRule& rule, uint16_t* out)
{
    const std::size_t w = width;
    const uint16_t* mid = in + y * w + x;
    const uint16_t* up = mid - w;
    const uint16_t* down = mid + w;
    // Ring order, clockwise from the top left.
    const __m256i n[8] = {load(up - 1), load(up), load(up + 1), load(mid + 1),
                          load(down + 1), load(down), load(down - 1), load(mid - 1)};
    const __m256i c = load(mid);
    const __m256i zero = _mm256_setzero_si256();

    __m256i g = zero, highest = n[0], lowest = n[0];
    __m256i big[8];
    const __m256i limit = _mm256_set1_epi16(static_cast<short>(rule.jumpLimit));
    for (int k = 1; k < 8; ++k) {
        const __m256i jump = absDiff(n[k], n[k - 1]);
        g = _mm256_max_epu16(g, jump);
        big[k] = greater(jump, limit);
        highest = _mm256_max_epu16(highest, n[k]);
        lowest = _mm256_min_epu16(lowest, n[k]);
    }

    // A large step at list index 2, 4 or 6 is tolerated where the first
    // brightest or darkest neighbour sits at ring position 1, 2 or 3 (its
    // code is twice the position). When no neighbour beats the start value
    // (all 0, or all 65535) the first of them is at position 0, whose code
    // matches no list index, just as an unset code.
    __m256i earlierHighest = _mm256_cmpeq_epi16(n[0], highest);
    __m256i earlierLowest = _mm256_cmpeq_epi16(n[0], lowest);
    __m256i rough = _mm256_or_si256(_mm256_or_si256(big[1], big[3]), _mm256_or_si256(big[5], big[7]));
    for (int pos = 1; pos <= 3; ++pos) {
        const __m256i isHighest = _mm256_cmpeq_epi16(n[pos], highest);
        const __m256i isLowest = _mm256_cmpeq_epi16(n[pos], lowest);
        const __m256i tolerated = _mm256_or_si256(_mm256_andnot_si256(earlierHighest, isHighest),
                                                  _mm256_andnot_si256(earlierLowest, isLowest));
        rough = _mm256_or_si256(rough, _mm256_andnot_si256(tolerated, big[2 * pos]));
        earlierHighest = _mm256_or_si256(earlierHighest, isHighest);
        earlierLowest = _mm256_or_si256(earlierLowest, isLowest);
    }

    const __m256i mean = meanOfSeven(n);
    const __m256i outlier = greater(absDiff(c, mean), _mm256_srl_epi16(g, _mm_cvtsi32_si128(rule.outlierShift)));

    // Neighbours 1..6 on the pixel's side of the mean and close to it.
    const __m256i close = _mm256_srl_epi16(g, _mm_cvtsi32_si128(rule.closeShift));
    const __m256i below = greater(mean, c);
    __m256i like = zero;
    for (int k = 1; k <= 6; ++k) {
        const __m256i top = _mm256_max_epu16(n[k], mean);
        const __m256i sameSide =
            _mm256_blendv_epi8(_mm256_cmpeq_epi16(top, n[k]), _mm256_cmpeq_epi16(top, mean), below);
        const __m256i near = _mm256_cmpeq_epi16(_mm256_subs_epu16(absDiff(n[k], c), close), zero);
        like = _mm256_sub_epi16(like, _mm256_and_si256(sameSide, near));
    }
    const __m256i fewLike =
        _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(rule.maxLikeNeighbours + 1)), like);

    const __m256i replace = _mm256_andnot_si256(rough, _mm256_and_si256(outlier, fewLike));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_blendv_epi8(c, mean, replace));
}

}  // namespace qv
