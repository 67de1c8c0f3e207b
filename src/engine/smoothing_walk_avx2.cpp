// The tracked walk for 16 pixels at once. Every lane follows the same
// entries; lanes stop independently and the loop ends when all have.
#include <immintrin.h>

#include <algorithm>

#include "engine/smoothing_walk.h"

namespace qv {

namespace {

// Lane sums are 32-bit and counts 16-bit: flushed to 64 bits this often.
constexpr std::size_t kChunk = 1 << 15;

struct LaneTotals {
    uint64_t sum[16] = {};
    uint32_t count[16] = {};
};

__attribute__((target("avx2"))) void flush(__m256i sumLo, __m256i sumHi, __m256i count, LaneTotals& totals)
{
    alignas(32) uint32_t lo[8], hi[8];
    alignas(32) uint16_t n[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lo), sumLo);
    _mm256_store_si256(reinterpret_cast<__m256i*>(hi), sumHi);
    _mm256_store_si256(reinterpret_cast<__m256i*>(n), count);
    // The 16-to-32-bit unpacking works within 128-bit halves.
    for (int i = 0; i < 4; ++i) {
        totals.sum[i] += lo[i];
        totals.sum[8 + i] += lo[4 + i];
        totals.sum[4 + i] += hi[i];
        totals.sum[12 + i] += hi[4 + i];
    }
    for (int l = 0; l < 16; ++l)
        totals.count[l] += n[l];
}

// Walks steps [begin, end); false once no lane is walking any more.
template <bool NearBorder>
__attribute__((target("avx2"))) bool walkChunk(const uint16_t* origin, const WalkStep* begin, const WalkStep* end,
                                               __m256i& t, __m256i& active, __m256i tolerance, __m256i bandLo,
                                               __m256i bandHi, __m256i lowestDx, __m256i highestDx,
                                               LaneTotals& totals)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i sumLo = zero, sumHi = zero, count = zero;
    bool walking = true;
    for (const WalkStep* s = begin; s != end; ++s) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(origin + s->offset));
        __m256i next = _mm256_min_epu16(_mm256_max_epu16(t, _mm256_subs_epu16(v, tolerance)),
                                        _mm256_adds_epu16(v, tolerance));
        __m256i taken = active;
        if constexpr (NearBorder) {
            // Lanes whose sample lies left or right of the image skip it.
            const __m256i dx = _mm256_set1_epi16(s->dx);
            const __m256i outside =
                _mm256_or_si256(_mm256_cmpgt_epi16(lowestDx, dx), _mm256_cmpgt_epi16(dx, highestDx));
            next = _mm256_blendv_epi8(next, t, outside);
            taken = _mm256_andnot_si256(outside, taken);
        }
        t = next;
        const __m256i inBand =
            _mm256_cmpeq_epi16(_mm256_min_epu16(_mm256_max_epu16(t, bandLo), bandHi), t);
        active = _mm256_and_si256(active, inBand);
        taken = _mm256_and_si256(taken, inBand);
        const __m256i added = _mm256_and_si256(t, taken);
        sumLo = _mm256_add_epi32(sumLo, _mm256_unpacklo_epi16(added, zero));
        sumHi = _mm256_add_epi32(sumHi, _mm256_unpackhi_epi16(added, zero));
        count = _mm256_sub_epi16(count, taken);
        if (_mm256_testz_si256(active, active)) {
            walking = false;
            break;
        }
    }
    flush(sumLo, sumHi, count, totals);
    return walking;
}

}  // namespace

__attribute__((target("avx2"))) void walkLanesAvx2(const WalkLanes& lanes, std::span<const WalkStep> steps,
                                                   WalkBand walk, uint16_t* results)
{
    alignas(32) uint16_t laneMask[16], lowest[16], highest[16];
    for (int l = 0; l < 16; ++l) {
        laneMask[l] = (lanes.walking >> l & 1) ? 0xFFFF : 0;
        // Column offsets that keep lane l inside the image, clamped to 16 bits
        // (offsets never reach that far).
        const int x = lanes.x + l;
        lowest[l] = static_cast<uint16_t>(std::max(-x, -32768));
        highest[l] = static_cast<uint16_t>(std::min(lanes.width - 1 - x, 32767));
    }
    const __m256i centre = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes.centres));
    const __m256i band = _mm256_set1_epi16(static_cast<short>(walk.band));
    const __m256i tolerance = _mm256_set1_epi16(static_cast<short>(walk.tolerance));
    const __m256i bandLo = _mm256_subs_epu16(centre, band);  // walked lanes have centre >= band
    const __m256i bandHi = _mm256_adds_epu16(centre, band);  // the tracker never exceeds 65535
    const __m256i lowestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(lowest));
    const __m256i highestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(highest));
    __m256i t = centre;
    __m256i active = _mm256_load_si256(reinterpret_cast<const __m256i*>(laneMask));

    LaneTotals totals;
    const WalkStep* s = steps.data();
    const WalkStep* end = s + steps.size();
    for (bool walking = true; walking && s != end;) {
        const WalkStep* chunkEnd = end - s > static_cast<std::ptrdiff_t>(kChunk) ? s + kChunk : end;
        walking = lanes.nearBorder ? walkChunk<true>(lanes.origin, s, chunkEnd, t, active, tolerance, bandLo, bandHi,
                                                     lowestDx, highestDx, totals)
                                   : walkChunk<false>(lanes.origin, s, chunkEnd, t, active, tolerance, bandLo,
                                                      bandHi, lowestDx, highestDx, totals);
        s = chunkEnd;
    }
    for (int l = 0; l < 16; ++l) {
        if (lanes.walking >> l & 1)
            results[l] = static_cast<uint16_t>((lanes.centres[l] + totals.sum[l]) / (1 + totals.count[l]));
    }
}

}  // namespace qv
