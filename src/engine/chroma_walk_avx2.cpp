// The colour noise reduction walks of a row, 16 pixels at once. Each lane
// keeps the index of the next entry it visits; at every entry the lanes at
// that index take part, and when none is, the loop jumps to the nearest
// next index.
#include <immintrin.h>

#include <algorithm>

#include "engine/chroma_walk.h"

namespace qv {

namespace {

__attribute__((target("avx2"))) inline __m256i load(const uint16_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Lanes where a > b, unsigned.
__attribute__((target("avx2"))) inline __m256i greater(__m256i a, __m256i b)
{
    return _mm256_xor_si256(_mm256_cmpeq_epi16(_mm256_subs_epu16(a, b), _mm256_setzero_si256()),
                            _mm256_set1_epi16(-1));
}

__attribute__((target("avx2"))) inline int lowestLane(__m256i v)
{
    const __m128i m = _mm_minpos_epu16(_mm_min_epu16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    return _mm_cvtsi128_si32(m) & 0xFFFF;
}

// What the walks of a block share.
struct Block {
    const uint16_t* chroma;  // lane 0's pixel in the offset chroma plane
    const uint16_t* luma;
    int x;
    int y;
    int width;
    int height;
    bool nearBorder;  // some lane's neighbours may fall left or right of the image
};

// The walks of the lanes set in `walking`: c0 is the signed centre chroma,
// l0 the centre luma.
__attribute__((target("avx2"))) void walkLanes(const Block& b, __m256i c0, __m256i l0, __m256i walking,
                                               std::span<const RayStep> steps, ChromaPass pass, int lumaTolerance,
                                               int* results)
{
    const __m256i offset = _mm256_set1_epi16(static_cast<short>(0x8000));
    const __m256i slew = _mm256_set1_epi16(static_cast<short>(pass.slew));
    const __m256i tolerance = _mm256_set1_epi16(static_cast<short>(pass.tolerance));
    const __m256i lumaTol = _mm256_set1_epi16(static_cast<short>(lumaTolerance));
    // Saturated bounds keep every test exact: the walk's chroma never leaves
    // the 16-bit range, nor does a luminance.
    const __m256i chromaLo = _mm256_subs_epi16(c0, tolerance);
    const __m256i chromaHi = _mm256_adds_epi16(c0, tolerance);
    const __m256i lumaLo = _mm256_xor_si256(_mm256_subs_epu16(l0, lumaTol), offset);  // compared signed
    const __m256i lumaHi = _mm256_xor_si256(_mm256_adds_epu16(l0, lumaTol), offset);

    alignas(32) int16_t lowest[16], highest[16];
    for (int l = 0; l < 16; ++l) {
        // Column offsets that keep lane l inside the image, clamped to 16 bits.
        lowest[l] = static_cast<int16_t>(std::max(-(b.x + l), -32768));
        highest[l] = static_cast<int16_t>(std::min(b.width - 1 - (b.x + l), 32767));
    }
    const __m256i lowestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(lowest));
    const __m256i highestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(highest));

    const int n = static_cast<int>(steps.size());
    __m256i t = c0;
    __m256i sumLo = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(c0));
    __m256i sumHi = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(c0, 1));
    __m256i count = _mm256_set1_epi16(1);
    __m256i next = _mm256_blendv_epi8(_mm256_set1_epi16(static_cast<short>(n)), _mm256_set1_epi16(1), walking);

    for (int k = 1; k < n;) {
        const RayStep& s = steps[k];
        if (static_cast<unsigned>(b.y + s.dy) >= static_cast<unsigned>(b.height)) {
            ++k;  // outside the image for every lane
            continue;
        }
        __m256i at = _mm256_andnot_si256(_mm256_cmpgt_epi16(next, _mm256_set1_epi16(static_cast<short>(k))),
                                         _mm256_set1_epi16(-1));
        if (b.nearBorder) {
            const __m256i dx = _mm256_set1_epi16(s.dx);
            at = _mm256_andnot_si256(
                _mm256_or_si256(_mm256_cmpgt_epi16(lowestDx, dx), _mm256_cmpgt_epi16(dx, highestDx)), at);
        }
        if (_mm256_testz_si256(at, at)) {
            const int nearest = lowestLane(next);
            if (nearest >= n)
                break;
            k = std::max(k + 1, nearest);
            continue;
        }
        const __m256i cv = _mm256_xor_si256(load(b.chroma + s.offset), offset);
        const __m256i lv = _mm256_xor_si256(load(b.luma + s.offset), offset);
        const __m256i slewed =
            _mm256_min_epi16(_mm256_max_epi16(t, _mm256_subs_epi16(cv, slew)), _mm256_adds_epi16(cv, slew));
        t = _mm256_blendv_epi8(t, slewed, at);
        const __m256i refused =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi16(chromaLo, t), _mm256_cmpgt_epi16(t, chromaHi)),
                            _mm256_or_si256(_mm256_cmpgt_epi16(lumaLo, lv), _mm256_cmpgt_epi16(lv, lumaHi)));
        const __m256i taken = _mm256_andnot_si256(refused, at);
        const __m256i added = _mm256_and_si256(t, taken);
        sumLo = _mm256_add_epi32(sumLo, _mm256_cvtepi16_epi32(_mm256_castsi256_si128(added)));
        sumHi = _mm256_add_epi32(sumHi, _mm256_cvtepi16_epi32(_mm256_extracti128_si256(added, 1)));
        count = _mm256_sub_epi16(count, taken);
        next = _mm256_blendv_epi8(next, _mm256_set1_epi16(s.resume), _mm256_and_si256(at, refused));
        ++k;
    }

    alignas(32) int32_t sums[16];
    alignas(32) int16_t counts[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), sumLo);
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums + 8), sumHi);
    _mm256_store_si256(reinterpret_cast<__m256i*>(counts), count);
    for (int l = 0; l < 16; ++l)
        results[l] = sums[l] / counts[l];
}

}  // namespace

__attribute__((target("avx2"))) void chromaWalkRowAvx2(const ChromaRow& row, ChromaPass pass, int lumaTolerance,
                                                       int* results)
{
    const __m256i offset = _mm256_set1_epi16(static_cast<short>(0x8000));
    const __m256i slew = _mm256_set1_epi16(static_cast<short>(pass.slew));
    const __m256i lumaTol = _mm256_set1_epi16(static_cast<short>(lumaTolerance));
    const uint16_t* chroma = row.chroma->row(row.y);
    const uint16_t* luma = row.luma->row(row.y);
    for (int x0 = 0; x0 < row.width; x0 += 16) {
        const int lanes = std::min(16, row.width - x0);
        // The padded planes hold 16 columns past the row; the ranges do not.
        alignas(32) uint16_t part[4][16] = {};
        const uint16_t* ranges[4] = {row.chromaMin + x0, row.chromaMax + x0, row.lumaMin + x0, row.lumaMax + x0};
        if (lanes < 16) {
            for (int i = 0; i < 4; ++i) {
                std::copy_n(ranges[i], lanes, part[i]);
                ranges[i] = part[i];
            }
        }
        const __m256i c0 = load(chroma + x0);  // offset
        const __m256i l0 = load(luma + x0);

        // As in the plain row: no neighbour can move the chroma or be refused.
        const __m256i unsteady = _mm256_or_si256(
            _mm256_or_si256(greater(l0, _mm256_adds_epu16(load(ranges[2]), lumaTol)),
                            greater(load(ranges[3]), _mm256_adds_epu16(l0, lumaTol))),
            _mm256_or_si256(greater(c0, _mm256_adds_epu16(load(ranges[0]), slew)),
                            greater(load(ranges[1]), _mm256_adds_epu16(c0, slew))));

        const __m256i signedC0 = _mm256_xor_si256(c0, offset);
        alignas(32) int16_t centres[16];
        _mm256_store_si256(reinterpret_cast<__m256i*>(centres), signedC0);
        for (int l = 0; l < lanes; ++l)
            results[x0 + l] = centres[l];

        const uint32_t valid = lanes == 16 ? 0xFFFFFFFFu : (1u << (2 * lanes)) - 1;
        uint32_t walking = static_cast<uint32_t>(_mm256_movemask_epi8(unsteady)) & valid & 0x55555555u;
        if (!walking)
            continue;
        const Block block{chroma + x0, luma + x0, x0, row.y, row.width, row.height,
                          x0 < row.reach || x0 + 15 + row.reach >= row.width};
        int walked[16];
        walkLanes(block, signedC0, l0, unsteady, row.steps, pass, lumaTolerance, walked);
        for (; walking; walking &= walking - 1) {
            const int l = __builtin_ctz(walking) / 2;
            results[x0 + l] = walked[l];
        }
    }
}

}  // namespace qv
