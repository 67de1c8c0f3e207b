#include "engine/stages/detail/short_spreading.h"

#include <algorithm>

#include "engine/kernels/simd_avx2.h"

namespace qv {

namespace {

// One step for `count` spreads: spread i (going while alive[i] is all ones)
// meets a pixel of luminance luma[i] and, inside its band around value[i],
// adds the value there and goes on; outside, adds the pulled luminance and
// stops. The sums and counts are those of the pixels met.
struct Step {
    const uint16_t* luma;
    const uint16_t* value;
    uint16_t* alive;
    uint32_t* sums;
    uint16_t* counts;
    int count;
};

// Both step loops answer whether any spread is still going; the plain one
// takes the spreads from `first` on (the tail after the vectors).
bool stepPlain(const Step& s, int32_t tolerance, const StopPull& pulled, int first)
{
    bool going = false;
    for (int i = first; i < s.count; ++i) {
        if (!s.alive[i])
            continue;
        const int32_t l = s.luma[i];
        const int32_t v = s.value[i];
        const bool inside = l <= v + tolerance && l >= v - tolerance;
        s.sums[i] += inside ? v : pulled(l, v);
        s.counts[i] += 1;
        s.alive[i] = inside ? 0xFFFF : 0;
        going |= inside;
    }
    return going;
}

QV_AVX2 bool stepAvx2(const Step& s, int32_t t, const StopPull& pull)
{
    const __m256i tolerance = _mm256_set1_epi16(static_cast<short>(t));
    const __m256i down = _mm256_set1_epi16(static_cast<short>(pull.down));
    const __m256i up = _mm256_set1_epi16(static_cast<short>(pull.up));
    const __m256i zero = _mm256_setzero_si256();
    __m256i going = zero;
    int i = 0;
    for (; i + 16 <= s.count; i += 16) {
        const __m256i alive = avx2::load(s.alive + i);
        const __m256i l = avx2::load(s.luma + i);
        const __m256i v = avx2::load(s.value + i);
        // Band ends saturate at 0 and 65535, beyond which no luminance lies,
        // so the clipped band excludes nothing the true one holds.
        const __m256i above = _mm256_subs_epu16(l, _mm256_adds_epu16(v, tolerance));
        const __m256i below = _mm256_subs_epu16(_mm256_subs_epu16(v, tolerance), l);
        const __m256i inside = _mm256_cmpeq_epi16(_mm256_or_si256(above, below), zero);
        const __m256i notAbove = _mm256_cmpeq_epi16(above, zero);
        const __m256i pulled =
            _mm256_blendv_epi8(_mm256_sub_epi16(l, down), _mm256_add_epi16(l, up), notAbove);
        const __m256i added = _mm256_and_si256(_mm256_blendv_epi8(pulled, v, inside), alive);

        __m256i* counts = reinterpret_cast<__m256i*>(s.counts + i);
        _mm256_storeu_si256(counts, _mm256_add_epi16(_mm256_loadu_si256(counts), _mm256_srli_epi16(alive, 15)));
        __m256i* sums = reinterpret_cast<__m256i*>(s.sums + i);
        _mm256_storeu_si256(sums, _mm256_add_epi32(_mm256_loadu_si256(sums),
                                                   _mm256_cvtepu16_epi32(_mm256_castsi256_si128(added))));
        _mm256_storeu_si256(sums + 1, _mm256_add_epi32(_mm256_loadu_si256(sums + 1),
                                                       _mm256_cvtepu16_epi32(_mm256_extracti128_si256(added, 1))));
        const __m256i stillGoing = _mm256_and_si256(alive, inside);
        avx2::store(s.alive + i, stillGoing);
        going = _mm256_or_si256(going, stillGoing);
    }
    const bool tailGoing = stepPlain(s, t, pull, i);
    return !_mm256_testz_si256(going, going) || tailGoing;
}

}  // namespace

void spreadShortLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                         uint32_t* pairs)
{
    const int n = line.length;
    uint16_t* value = scratch.shortValues.data();
    uint16_t* alive = scratch.shortAlive.data();
    uint16_t* counts = scratch.shortCounts.data();
    uint32_t* sums = scratch.shortSums.data();
    // Spread values never exceed 65535.
    std::copy(line.values, line.values + n, value);
    std::fill(counts, counts + n, uint16_t{0});
    std::fill(sums, sums + n, 0u);
    const StopPull pull(tolerance);

    // Towards the end: the spread from x meets pixel x + d at step d
    // (lane x, pixel x + d), d from 0 while it stays in the line.
    std::fill(alive, alive + n, uint16_t{0xFFFF});
    for (int d = 0; d < std::min(reach.forward, n); ++d) {
        if (!stepAvx2({line.luma + d, value, alive, sums + d, counts + d, n - d}, tolerance, pull))
            break;
    }
    // Towards the start: the spread from x meets pixel x - d at step d
    // (lane x - d), d from 1.
    std::fill(alive, alive + n, uint16_t{0xFFFF});
    for (int d = 1; d <= std::min(reach.back, n - 1); ++d) {
        if (!stepAvx2({line.luma, value + d, alive + d, sums, counts, n - d}, tolerance, pull))
            break;
    }
    for (int x = 0; x < n; ++x) {
        pairs[2 * x] = sums[x];
        pairs[2 * x + 1] = counts[x];
    }
}

void spreadLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                    uint32_t* pairs)
{
    if (std::max(reach.back, reach.forward) <= kShortReach)
        spreadShortLineAvx2(line, reach, tolerance, scratch, pairs);
    else
        spreadLine(line, reach, tolerance, scratch, pairs);
}

}  // namespace qv
