// The AVX2 row of the source planes: the plain formulas in the same
// single-precision operations and order, on eight pixels at a time.

#include "imageio/source_planes.h"

#include <array>

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

// The byte shuffle that gathers 16-bit elements of one register: lane k
// takes element from[k], or 0 where from[k] is -1.
constexpr std::array<int8_t, 16> pickWords(std::array<int, 8> from)
{
    std::array<int8_t, 16> bytes{};
    for (int k = 0; k < 8; ++k) {
        bytes[2 * k] = static_cast<int8_t>(from[k] < 0 ? -128 : 2 * from[k]);
        bytes[2 * k + 1] = static_cast<int8_t>(from[k] < 0 ? -128 : 2 * from[k] + 1);
    }
    return bytes;
}

// Eight pixels span three registers: B0 G0 R0 B1 G1 R1 B2 G2 | R2 B3 G3 R3
// B4 G4 R4 B5 | G5 R5 B6 G6 R6 B7 G7 R7. For each channel, what each
// register gives to the eight lanes.
constexpr std::array<std::array<int8_t, 16>, 3> kChannelPicks[3] = {
    {pickWords({0, 3, 6, -1, -1, -1, -1, -1}), pickWords({-1, -1, -1, 1, 4, 7, -1, -1}),
     pickWords({-1, -1, -1, -1, -1, -1, 2, 5})},
    {pickWords({1, 4, 7, -1, -1, -1, -1, -1}), pickWords({-1, -1, -1, 2, 5, -1, -1, -1}),
     pickWords({-1, -1, -1, -1, -1, 0, 3, 6})},
    {pickWords({2, 5, -1, -1, -1, -1, -1, -1}), pickWords({-1, -1, 0, 3, 6, -1, -1, -1}),
     pickWords({-1, -1, -1, -1, -1, 1, 4, 7})},
};

// Channel c of the eight pixels in v[0..2], as floats.
QV_AVX2 inline __m256 channel(const __m128i v[3], int c)
{
    __m128i words = _mm_setzero_si128();
    for (int i = 0; i < 3; ++i) {
        const __m128i pick = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kChannelPicks[c][i].data()));
        words = _mm_or_si128(words, _mm_shuffle_epi8(v[i], pick));
    }
    return _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(words));
}

QV_AVX2 inline __m256 times(float k, __m256 v) { return _mm256_mul_ps(_mm256_set1_ps(k), v); }

}  // namespace

QV_AVX2 void sourcePlaneRowAvx2(const uint16_t* bgr, int width, uint16_t* luminance, int16_t* chroma)
{
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i* in = reinterpret_cast<const __m128i*>(bgr + 3 * x);
        const __m128i v[3] = {_mm_loadu_si128(in), _mm_loadu_si128(in + 1), _mm_loadu_si128(in + 2)};
        const __m256 b = channel(v, 0);
        const __m256 g = channel(v, 1);
        const __m256 r = channel(v, 2);
        const __m256 u = _mm256_div_ps(
            _mm256_sub_ps(_mm256_sub_ps(times(0.436f, b), times(0.28886f, g)), times(0.14713f, r)),
            _mm256_set1_ps(0.872f));
        const __m256 v2 = _mm256_div_ps(
            _mm256_sub_ps(times(0.615f, r), _mm256_add_ps(times(0.10001f, b), times(0.51499f, g))),
            _mm256_set1_ps(1.23f));
        const __m256 y = _mm256_add_ps(_mm256_add_ps(times(0.299f, r), times(0.114f, b)), times(0.587f, g));
        // Truncated, then cut to their low 16 bits as the plain casts do.
        const __m256i yi = _mm256_and_si256(_mm256_cvttps_epi32(y), low16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(luminance + x), avx2::narrow8(yi));
        const __m256i uv = _mm256_or_si256(_mm256_and_si256(_mm256_cvttps_epi32(u), low16),
                                           _mm256_slli_epi32(_mm256_cvttps_epi32(v2), 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(chroma + 2 * x), uv);
    }
    sourcePlaneRowPlain(bgr + 3 * x, width - x, luminance + x, chroma + 2 * x);
}

}  // namespace qv
