// The AVX2 row of the light blend: the plain loop's integer arithmetic in
// 32-bit lanes, eight pixels at a time.

#include "engine/kernels/simd_avx2.h"
#include "engine/stages/light/light.h"

namespace qv {

namespace {

// v / 100, truncated, for any 32-bit v: (v * 0x51EB851F) >> 37 in the
// 64-bit products of the even and of the odd lanes.
QV_AVX2 inline __m256i dividedBy100(__m256i v)
{
    const __m256i magic = _mm256_set1_epi32(0x51EB851F);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(v, magic), 37);
    const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(v, 32), magic), 37);
    return _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0b10101010);
}

}  // namespace

QV_AVX2 void blendLightRowAvx2(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness)
{
    const __m256i white = _mm256_set1_epi32(65535);
    const __m256i grey = _mm256_set1_epi32(32768);
    const __m256i keep = _mm256_set1_epi32(100 - lightness);
    const __m256i amount = _mm256_set1_epi32(lightness);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i b = avx2::widen8(luma + x);
        const __m256i m = avx2::widen8(map + x);
        // Both products stay below 2^32, whole in the low halves.
        const __m256i multiply = _mm256_srli_epi32(_mm256_mullo_epi32(m, b), 15);
        const __m256i screen = _mm256_sub_epi32(
            white, _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(white, m), _mm256_sub_epi32(white, b)), 15));
        const __m256i overlay =
            _mm256_and_si256(_mm256_blendv_epi8(screen, multiply, _mm256_cmpgt_epi32(grey, b)), white);
        const __m256i mixed = dividedBy100(
            _mm256_add_epi32(_mm256_mullo_epi32(b, keep), _mm256_mullo_epi32(overlay, amount)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), avx2::narrow8(mixed));
    }
    blendLightRowPlain(luma + x, map + x, out + x, width - x, lightness);
}

}  // namespace qv
