// The tracked walks of a row, 16 pixels at once. Every lane follows the
// same entries; lanes stop independently and a block ends when all have.
#include <algorithm>

#include "engine/kernels/simd_avx2.h"
#include "engine/stages/smoothing/smoothing_walk.h"
#include "engine/stages/smoothing/smoothing_walk_lanes.h"

namespace qv {

namespace {

using Totals = LaneTotals<16>;

using avx2::atMost;
using avx2::greater;
using avx2::load;

// Bit l set where 16-bit lane l of a lane mask is set.
QV_AVX2 uint32_t laneBits(__m256i mask)
{
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_packs_epi16(_mm256_castsi256_si128(mask), _mm256_extracti128_si256(mask, 1))));
}

QV_AVX2 void flush(const __m256i& sumLo, const __m256i& sumHi, const __m256i& count, Totals& totals)
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

// The state of 16 walks. Each walk's band is held as its low end and width,
// and the walk sums how far above the low end its tracker was: 16-bit sums
// of those stay exact for `flushEvery` steps.
struct Lanes {
    __m256i t;          // trackers
    __m256i active;     // lanes still walking
    __m256i tolerance;
    __m256i bandLo, bandWidth;
    __m256i lowestDx, highestDx;  // column offsets that stay inside the image, per lane
    int flushEvery;
};

// Walks steps [begin, end); false once no lane is walking any more.
template <bool NearBorder>
QV_AVX2 bool walkChunk(const uint16_t* origin, const WalkStep* begin, const WalkStep* end, Lanes& lanes,
                       Totals& totals)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i t = lanes.t, active = lanes.active;
    __m256i sumLo = zero, sumHi = zero, pending = zero, count = zero;
    int sinceFlush = 0;
    bool walking = true;
    for (const WalkStep* s = begin; s != end; ++s) {
        const __m256i v = load(origin + s->offset);
        __m256i lo = _mm256_subs_epu16(v, lanes.tolerance);
        __m256i hi = _mm256_adds_epu16(v, lanes.tolerance);
        __m256i outside = zero;
        if constexpr (NearBorder) {
            // Lanes whose sample lies left or right of the image skip it:
            // their clamp is widened to 0..65535.
            const __m256i dx = _mm256_set1_epi16(s->dx);
            outside = _mm256_or_si256(_mm256_cmpgt_epi16(lanes.lowestDx, dx), _mm256_cmpgt_epi16(dx, lanes.highestDx));
            lo = _mm256_andnot_si256(outside, lo);
            hi = _mm256_or_si256(outside, hi);
        }
        t = _mm256_min_epu16(_mm256_max_epu16(t, lo), hi);
        // Above the band's low end by at most its width (below it wraps round to more).
        const __m256i above = _mm256_sub_epi16(t, lanes.bandLo);
        active = _mm256_and_si256(active, atMost(above, lanes.bandWidth));
        const __m256i taken = NearBorder ? _mm256_andnot_si256(outside, active) : active;
        pending = _mm256_add_epi16(pending, _mm256_and_si256(above, taken));
        count = _mm256_sub_epi16(count, taken);
        if (++sinceFlush == lanes.flushEvery) {
            sumLo = _mm256_add_epi32(sumLo, _mm256_unpacklo_epi16(pending, zero));
            sumHi = _mm256_add_epi32(sumHi, _mm256_unpackhi_epi16(pending, zero));
            pending = zero;
            sinceFlush = 0;
        }
        if (_mm256_testz_si256(active, active)) {
            walking = false;
            break;
        }
    }
    sumLo = _mm256_add_epi32(sumLo, _mm256_unpacklo_epi16(pending, zero));
    sumHi = _mm256_add_epi32(sumHi, _mm256_unpackhi_epi16(pending, zero));
    flush(sumLo, sumHi, count, totals);
    lanes.t = t;
    lanes.active = active;
    return walking;
}

// The walks of the lanes set in `walking` (each centre at least both the
// tolerance and the band, so nothing wraps around), lane l at column x + l.
QV_AVX2 void walkLanes(const uint16_t* origin, __m256i centre, __m256i walking, int x, int width, bool nearBorder,
                       std::span<const WalkStep> steps, WalkBand walk, uint16_t* results)
{
    alignas(32) int16_t lowest[16], highest[16];
    avx2::laneColumnLimits(x, width, lowest, highest);
    const __m256i band = _mm256_set1_epi16(static_cast<short>(walk.band));
    const __m256i bandLo = _mm256_subs_epu16(centre, band);
    // A step adds at most the band's width, twice the band, to a 16-bit sum.
    const int flushEvery = avx2::flushInterval(2 * int64_t{walk.band});
    Lanes lanes{centre,
                walking,
                _mm256_set1_epi16(static_cast<short>(walk.tolerance)),
                bandLo,
                _mm256_sub_epi16(_mm256_adds_epu16(centre, band), bandLo),  // the tracker never exceeds 65535
                _mm256_load_si256(reinterpret_cast<const __m256i*>(lowest)),
                _mm256_load_si256(reinterpret_cast<const __m256i*>(highest)),
                flushEvery};

    Totals totals;
    walkInChunks(steps, [&](const WalkStep* begin, const WalkStep* end) {
        return nearBorder ? walkChunk<true>(origin, begin, end, lanes, totals)
                          : walkChunk<false>(origin, begin, end, lanes, totals);
    });
    alignas(32) uint16_t centres[16], lows[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(centres), centre);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lows), bandLo);
    totals.means(centres, lows, results);
}

}  // namespace

QV_AVX2 void walkRowAvx2(const WalkRow& row, WalkBand walk, uint16_t* results)
{
    const __m256i tolerance = _mm256_set1_epi16(static_cast<short>(walk.tolerance));
    const __m256i band = _mm256_set1_epi16(static_cast<short>(walk.band));
    for (int x0 = 0; x0 < row.width; x0 += 16) {
        const int lanes = std::min(16, row.width - x0);
        alignas(32) uint16_t part[3][16] = {};
        const uint16_t* centres = row.centres + x0;
        const uint16_t* lo = row.lo + x0;
        const uint16_t* hi = row.hi + x0;
        if (lanes < 16) {
            std::copy_n(centres, lanes, part[0]);
            std::copy_n(lo, lanes, part[1]);
            std::copy_n(hi, lanes, part[2]);
            centres = part[0];
            lo = part[1];
            hi = part[2];
        }
        const __m256i centre = load(centres);

        // As walkKeepsCentre: below the band, or no sample can move the tracker.
        // Saturation keeps both range tests exact.
        const __m256i belowTolerance = greater(tolerance, centre);
        const __m256i steady = _mm256_andnot_si256(
            _mm256_or_si256(belowTolerance,
                            _mm256_or_si256(greater(centre, _mm256_adds_epu16(load(lo), tolerance)),
                                            greater(load(hi), _mm256_adds_epu16(centre, tolerance)))),
            _mm256_set1_epi16(-1));
        const __m256i keeps = _mm256_or_si256(greater(band, centre), steady);
        // A tracker starting below the tolerance wraps around: walked one by
        // one, as are all walks of a block whose loads would leave the plane.
        __m256i oneByOne = _mm256_andnot_si256(keeps, belowTolerance);
        __m256i walking = _mm256_andnot_si256(_mm256_or_si256(keeps, oneByOne), _mm256_set1_epi16(-1));
        if (!avx2::blockLoadsStayInside(row, x0)) {
            oneByOne = _mm256_or_si256(oneByOne, walking);
            walking = _mm256_setzero_si256();
        }
        const uint32_t valid = (1u << lanes) - 1;

        std::copy_n(centres, lanes, results + x0);
        uint32_t walkingLanes = laneBits(walking) & valid;
        if (walkingLanes) {
            uint16_t walked[16];
            const bool nearBorder = x0 < row.reach || x0 + 15 + row.reach >= row.width;
            walkLanes(row.samples + static_cast<std::ptrdiff_t>(row.y) * row.width + x0, centre, walking, x0,
                      row.width, nearBorder, row.steps, walk, walked);
            for (; walkingLanes; walkingLanes &= walkingLanes - 1) {
                const int l = __builtin_ctz(walkingLanes);
                results[x0 + l] = walked[l];
            }
        }
        walkEachLane(row, walk, x0, laneBits(oneByOne) & valid, results);
    }
}

}  // namespace qv
