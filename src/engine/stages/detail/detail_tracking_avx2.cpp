// The diagonal tracking of a row's stretch, eight trackers at a time.
#include "engine/kernels/simd_avx2.h"
#include "engine/stages/detail/detail_tracking.h"

namespace qv {

QV_AVX2 void trackStretchAvx2(const DiagonalStretch& stretch)
{
    const __m256i tolerance = _mm256_set1_epi32(stretch.tolerance);
    int i = 0;
    for (; i + 8 <= stretch.count; i += 8) {
        const __m256i luma = avx2::widen8(stretch.luma + i);
        __m256i* tracker = reinterpret_cast<__m256i*>(stretch.trackers + i);
        const __m256i s = _mm256_min_epi32(
            _mm256_max_epi32(_mm256_loadu_si256(tracker), _mm256_sub_epi32(luma, tolerance)),
            _mm256_add_epi32(luma, tolerance));
        _mm256_storeu_si256(tracker, s);
        __m256i* envelope = reinterpret_cast<__m256i*>(stretch.envelope + i);
        const __m256i sum = _mm256_add_epi32(_mm256_loadu_si256(envelope), s);
        if (stretch.values) {
            // Trackers and envelope weights keep (envelope + tracker) / 8 within 16 bits.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(stretch.values + i), avx2::narrow8(_mm256_srli_epi32(sum, 3)));
        } else {
            _mm256_storeu_si256(envelope, sum);
        }
    }
    trackStretch({stretch.luma + i, stretch.trackers + i, stretch.envelope + i,
                  stretch.values ? stretch.values + i : nullptr, stretch.count - i, stretch.tolerance});
}

}  // namespace qv
