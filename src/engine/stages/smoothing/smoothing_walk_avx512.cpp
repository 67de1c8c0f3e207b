// The tracked walks of a row, 32 pixels at once with AVX-512: the scheme of
// the AVX2 twin (smoothing_walk_avx2.cpp), with the lanes still walking, the
// lanes whose sample lies inside the image and the lanes that take it held
// in mask registers. Each operation of a step leaves the other lanes alone
// through its mask, so a step needs fewer instructions over twice the lanes.
#include "engine/kernels/simd_avx512.h"
#include "engine/stages/smoothing/smoothing_walk.h"
#include "engine/stages/smoothing/smoothing_walk_lanes.h"

namespace qv {

namespace {

using Totals = LaneTotals<32>;

// 32-bit lane sums (lanes 0-15 in `lower`, 16-31 in `upper`) and 16-bit lane
// counts added into the totals.
QV_AVX512 void flush(__m512i lower, __m512i upper, __m512i count, Totals& totals)
{
    alignas(64) uint32_t sums[32];
    alignas(64) uint16_t counts[32];
    _mm512_store_si512(sums, lower);
    _mm512_store_si512(sums + 16, upper);
    _mm512_store_si512(counts, count);
    for (int l = 0; l < 32; ++l) {
        totals.sum[l] += sums[l];
        totals.count[l] += counts[l];
    }
}

// The state of 32 walks, as in the AVX2 twin: each walk's band is held as
// its low end and width, and the walk sums how far above the low end its
// tracker was, in 16 bits for `flushEvery` steps.
struct Lanes {
    __m512i t;          // trackers
    __mmask32 active;   // lanes still walking
    __m512i tolerance;
    __m512i bandLo, bandWidth;
    __m512i lowestDx, highestDx;  // column offsets that stay inside the image, per lane
    int flushEvery;
};

// Walks steps [begin, end); false once no lane is walking any more.
template <bool NearBorder>
QV_AVX512 bool walkChunk(const uint16_t* origin, const WalkStep* begin, const WalkStep* end, Lanes& lanes,
                         Totals& totals)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i one = _mm512_set1_epi16(1);
    __m512i t = lanes.t;
    __mmask32 active = lanes.active;
    __m512i lower = zero, upper = zero, pending = zero, count = zero;
    int sinceFlush = 0;
    bool walking = true;
    for (const WalkStep* s = begin; s != end; ++s) {
        const __m512i v = avx512::load(origin + s->offset);
        // Lanes whose sample lies left or right of the image skip it: their
        // tracker stays, so they stay in their band.
        __mmask32 inside = ~__mmask32{0};
        if constexpr (NearBorder) {
            const __m512i dx = _mm512_set1_epi16(s->dx);
            inside = _mm512_mask_cmple_epi16_mask(_mm512_cmple_epi16_mask(lanes.lowestDx, dx), dx, lanes.highestDx);
        }
        t = _mm512_mask_max_epu16(t, inside, t, _mm512_subs_epu16(v, lanes.tolerance));
        t = _mm512_mask_min_epu16(t, inside, t, _mm512_adds_epu16(v, lanes.tolerance));
        // Above the band's low end by at most its width (below it wraps round to more).
        const __m512i above = _mm512_sub_epi16(t, lanes.bandLo);
        active = _mm512_mask_cmple_epu16_mask(active, above, lanes.bandWidth);
        const __mmask32 taken = NearBorder ? active & inside : active;
        pending = _mm512_mask_add_epi16(pending, taken, pending, above);
        count = _mm512_mask_add_epi16(count, taken, count, one);
        if (++sinceFlush == lanes.flushEvery) {
            lower = _mm512_add_epi32(lower, avx512::widenLower(pending));
            upper = _mm512_add_epi32(upper, avx512::widenUpper(pending));
            pending = zero;
            sinceFlush = 0;
        }
        if (!active) {
            walking = false;
            break;
        }
    }
    lower = _mm512_add_epi32(lower, avx512::widenLower(pending));
    upper = _mm512_add_epi32(upper, avx512::widenUpper(pending));
    flush(lower, upper, count, totals);
    lanes.t = t;
    lanes.active = active;
    return walking;
}

// The walks of the lanes set in `walking` (each centre at least both the
// tolerance and the band, so nothing wraps around), lane l at column x + l;
// their results go to results[l], the other lanes' are left alone.
QV_AVX512 void walkLanes(const uint16_t* origin, __m512i centre, __mmask32 walking, int x, int width,
                         bool nearBorder, std::span<const WalkStep> steps, WalkBand walk, uint16_t* results)
{
    alignas(64) int16_t lowest[32], highest[32];
    avx2::laneColumnLimits(x, width, lowest, highest);
    const __m512i band = _mm512_set1_epi16(static_cast<short>(walk.band));
    const __m512i bandLo = _mm512_subs_epu16(centre, band);
    // A step adds at most the band's width, twice the band, to a 16-bit sum.
    Lanes lanes{centre,
                walking,
                _mm512_set1_epi16(static_cast<short>(walk.tolerance)),
                bandLo,
                _mm512_sub_epi16(_mm512_adds_epu16(centre, band), bandLo),  // the tracker never exceeds 65535
                _mm512_load_si512(lowest),
                _mm512_load_si512(highest),
                avx2::flushInterval(2 * int64_t{walk.band})};

    Totals totals;
    walkInChunks(steps, [&](const WalkStep* begin, const WalkStep* end) {
        return nearBorder ? walkChunk<true>(origin, begin, end, lanes, totals)
                          : walkChunk<false>(origin, begin, end, lanes, totals);
    });
    alignas(64) uint16_t centres[32], lows[32], walked[32];
    _mm512_store_si512(centres, centre);
    _mm512_store_si512(lows, bandLo);
    totals.means(centres, lows, walked);
    _mm512_mask_storeu_epi16(results, walking, _mm512_load_si512(walked));
}

}  // namespace

QV_AVX512 void walkRowAvx512(const WalkRow& row, WalkBand walk, uint16_t* results)
{
    const __m512i tolerance = _mm512_set1_epi16(static_cast<short>(walk.tolerance));
    const __m512i band = _mm512_set1_epi16(static_cast<short>(walk.band));
    for (int x0 = 0; x0 < row.width; x0 += 32) {
        // A block short of 32 columns loads and stores only its own lanes.
        const __mmask32 inRow = avx512::firstLanes(row.width - x0);
        const __m512i centre = _mm512_maskz_loadu_epi16(inRow, row.centres + x0);
        const __m512i lo = _mm512_maskz_loadu_epi16(inRow, row.lo + x0);
        const __m512i hi = _mm512_maskz_loadu_epi16(inRow, row.hi + x0);

        // As walkKeepsCentre: walked are the lanes at or above the band
        // that some sample can move. Saturation keeps both range tests exact.
        const __mmask32 belowTolerance = _mm512_cmpgt_epu16_mask(tolerance, centre);
        const __mmask32 movable = belowTolerance |
                                  _mm512_cmpgt_epu16_mask(centre, _mm512_adds_epu16(lo, tolerance)) |
                                  _mm512_cmpgt_epu16_mask(hi, _mm512_adds_epu16(centre, tolerance));
        const __mmask32 walks = _mm512_mask_cmple_epu16_mask(inRow & movable, band, centre);
        // A tracker starting below the tolerance wraps around: walked one by
        // one, as are all walks of a block whose loads would leave the plane.
        __mmask32 oneByOne = walks & belowTolerance;
        __mmask32 walking = walks & ~belowTolerance;
        if (walking && !avx2::blockLoadsStayInside<32>(row, x0)) {
            oneByOne |= walking;
            walking = 0;
        }

        _mm512_mask_storeu_epi16(results + x0, inRow, centre);
        if (walking) {
            const bool nearBorder = x0 < row.reach || x0 + 31 + row.reach >= row.width;
            walkLanes(row.samples + static_cast<std::ptrdiff_t>(row.y) * row.width + x0, centre, walking, x0,
                      row.width, nearBorder, row.steps, walk, results + x0);
        }
        walkEachLane(row, walk, x0, oneByOne, results);
    }
}

}  // namespace qv
