#include "engine/stages/final_output/output_row.h"

#include <cstring>

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

// Truncated toward zero, then clamped into 0..65535, on eight lanes.
QV_AVX2 inline __m256i toChannels(__m256 v)
{
    return _mm256_min_epi32(_mm256_max_epi32(_mm256_cvttps_epi32(v), _mm256_setzero_si256()),
                            _mm256_set1_epi32(65535));
}

QV_AVX2 inline __m256i laneShuffle(const int8_t (&pattern)[16])
{
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern));
    return _mm256_broadcastsi128_si256(p);
}

// Byte patterns per 128-bit lane (four pixels). The 16-bit sources hold
// R0..R3 G0..G3 and B0..B3 B0..B3; the 48-bit pixels R,G,B fill 24 bytes:
// 16 from the first pair of patterns, 8 from the second.
constexpr int8_t kRgbHeadFromRg[16] = {0, 1, 8, 9, -1, -1, 2, 3, 10, 11, -1, -1, 4, 5, 12, 13};
constexpr int8_t kRgbHeadFromB[16] = {-1, -1, -1, -1, 0, 1, -1, -1, -1, -1, 2, 3, -1, -1, -1, -1};
constexpr int8_t kRgbTailFromRg[16] = {-1, -1, 6, 7, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
constexpr int8_t kRgbTailFromB[16] = {4, 5, -1, -1, -1, -1, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1};
// High bytes R0..R3 G0..G3 B0..B3 to 12 bytes of B,G,R pixels.
constexpr int8_t kBgrBytes[16] = {8, 4, 0, 9, 5, 1, 10, 6, 2, 11, 7, 3, -1, -1, -1, -1};

}  // namespace

// Eight pixels at a time: the arithmetic of convertOutputRowPlain in the same
// order on eight lanes (separate multiplies and adds, no fused operations),
// so every lane rounds exactly as the plain loop does.
QV_AVX2 void convertOutputRowAvx2(const OutputRow& row, const float* gammaTable, float saturation,
                                  ChannelHistograms& counts)
{
    const __m256 s = _mm256_set1_ps(saturation);
    const __m256 vStorage = _mm256_set1_ps(1.23f);
    const __m256 uStorage = _mm256_set1_ps(0.872f);
    const __m256 vToRed = _mm256_set1_ps(1.1398374f);
    const __m256 uToGreen = _mm256_set1_ps(0.3946517f);
    const __m256 vToGreen = _mm256_set1_ps(0.5805986f);
    const __m256 uToBlue = _mm256_set1_ps(2.03211f);
    const __m256i rgbHeadFromRg = laneShuffle(kRgbHeadFromRg);
    const __m256i rgbHeadFromB = laneShuffle(kRgbHeadFromB);
    const __m256i rgbTailFromRg = laneShuffle(kRgbTailFromRg);
    const __m256i rgbTailFromB = laneShuffle(kRgbTailFromB);
    const __m256i bgrBytes = laneShuffle(kBgrBytes);

    int x = 0;
    for (; x + 8 <= row.width; x += 8) {
        const __m256i luma = avx2::widen8(row.luma + x);
        const __m256 y = _mm256_i32gather_ps(gammaTable, luma, 4);
        const __m256i uv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.chroma + 2 * x));
        const __m256 c0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(uv, 16), 16));
        const __m256 c1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(uv, 16));
        const __m256 v = _mm256_mul_ps(_mm256_mul_ps(s, c1), vStorage);
        const __m256 u = _mm256_mul_ps(_mm256_mul_ps(s, c0), uStorage);
        const __m256 r = _mm256_add_ps(y, _mm256_mul_ps(vToRed, v));
        const __m256 g = _mm256_sub_ps(_mm256_sub_ps(y, _mm256_mul_ps(uToGreen, u)), _mm256_mul_ps(vToGreen, v));
        const __m256 b = _mm256_add_ps(y, _mm256_mul_ps(uToBlue, u));

        // Per lane: R G as 16-bit values, B twice.
        const __m256i rg = _mm256_packus_epi32(toChannels(r), toChannels(g));
        const __m256i bb = _mm256_packus_epi32(toChannels(b), toChannels(b));
        const __m256i head =
            _mm256_or_si256(_mm256_shuffle_epi8(rg, rgbHeadFromRg), _mm256_shuffle_epi8(bb, rgbHeadFromB));
        const __m256i tail =
            _mm256_or_si256(_mm256_shuffle_epi8(rg, rgbTailFromRg), _mm256_shuffle_epi8(bb, rgbTailFromB));
        uint8_t* rgb = reinterpret_cast<uint8_t*>(row.rgb48 + 3 * x);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb), _mm256_castsi256_si128(head));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb + 16), _mm256_castsi256_si128(tail));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 24), _mm256_extracti128_si256(head, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb + 40), _mm256_extracti128_si256(tail, 1));

        // The high bytes: R0..R3 G0..G3 B0..B3 B0..B3 per lane.
        const __m256i bytes = _mm256_packus_epi16(_mm256_srli_epi16(rg, 8), _mm256_srli_epi16(bb, 8));
        const __m256i bgr = _mm256_shuffle_epi8(bytes, bgrBytes);
        uint8_t* out = row.bgr24 + 3 * x;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bgr));
        const uint32_t lowTail = static_cast<uint32_t>(_mm_extract_epi32(_mm256_castsi256_si128(bgr), 2));
        std::memcpy(out + 8, &lowTail, 4);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), _mm256_extracti128_si256(bgr, 1));
        const uint32_t highTail = static_cast<uint32_t>(_mm256_extract_epi32(bgr, 6));
        std::memcpy(out + 20, &highTail, 4);

        // Counted from the bytes just stored: plain loads keep the vector
        // units free, which byte extraction from the register would not.
        for (int i = 0; i < 8; ++i) {
            ++counts.blue[out[3 * i]];
            ++counts.green[out[3 * i + 1]];
            ++counts.red[out[3 * i + 2]];
        }
    }
    counts.pixels += static_cast<uint32_t>(x);
    const OutputRow rest{row.luma + x, row.chroma + 2 * x, row.rgb48 + 3 * x, row.bgr24 + 3 * x, row.width - x};
    convertOutputRowPlain(rest, gammaTable, saturation, counts);
}

}  // namespace qv
