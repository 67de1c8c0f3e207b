// The colour noise reduction walks of a row, 16 pixels at once, the two
// passes side by side (independent chains keep the processor busy). Each
// lane keeps the index of the next entry it visits; at every entry the lanes
// at that index take part, and when none is, the loop jumps to the nearest
// next index. Chroma stays offset by 32768 throughout: the unsigned
// saturating operations then clamp exactly where the signed ones would.
// Lanes away from the entry keep their chroma by one blend after the slew's
// clamp, and are masked into neutral operands elsewhere (a maximum with 0),
// which costs the fewest operations per entry.
#include <algorithm>

#include "engine/kernels/simd_avx2.h"
#include "engine/stages/color_noise_reduction/chroma_walk.h"

namespace qv {

namespace {

using avx2::atMost;
using avx2::greater;
using avx2::load;
using avx2::within;

QV_AVX2 inline int lowestLane(__m256i v)
{
    const __m128i m = _mm_minpos_epu16(_mm_min_epu16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    return _mm_cvtsi128_si32(m) & 0xFFFF;
}

// What one pass's walks compare against, per lane.
struct Band {
    __m256i low;    // the chroma band around the centre: its low end
    __m256i width;  // and its width
    __m256i slew;
};

// One pass's walks over the 16 lanes: the state carried from entry to entry
// (kept small, so that two walks fit the registers side by side).
struct Walk {
    __m256i t;        // the walk's chroma
    __m256i next;     // each lane's next entry
    __m256i taken;    // neighbours taken
    __m256i pending;  // sum of (t - low) over the neighbours taken since the last flush

    // One entry for the lanes not set in `away`: the chroma follows the
    // neighbour's to within the slew, the neighbour is taken or refused, and
    // a refused one moves the lane on to `resume`, past this entry.
    QV_AVX2 void step(const Band& band, __m256i away, __m256i cv, __m256i lumaOk, __m256i resume)
    {
        const __m256i slewed =
            _mm256_min_epu16(_mm256_max_epu16(t, _mm256_subs_epu16(cv, band.slew)), _mm256_adds_epu16(cv, band.slew));
        t = _mm256_blendv_epi8(slewed, t, away);
        // Above the band's low end by at most its width (below it wraps round to more).
        const __m256i above = _mm256_sub_epi16(t, band.low);
        const __m256i ok = _mm256_and_si256(atMost(above, band.width), lumaOk);
        const __m256i took = _mm256_andnot_si256(away, ok);
        pending = _mm256_add_epi16(pending, _mm256_and_si256(above, took));
        taken = _mm256_sub_epi16(taken, took);
        next = _mm256_max_epu16(next, _mm256_andnot_si256(_mm256_or_si256(ok, away), resume));
    }
};

// The pending sums of a walk, widened to 32 bits: lanes 0-3 and 8-11 in
// `low`, 4-7 and 12-15 in `high` (the unpacking works within 128-bit halves).
struct Sums {
    __m256i low;
    __m256i high;

    QV_AVX2 void add(__m256i& pending)
    {
        const __m256i zero = _mm256_setzero_si256();
        low = _mm256_add_epi32(low, _mm256_unpacklo_epi16(pending, zero));
        high = _mm256_add_epi32(high, _mm256_unpackhi_epi16(pending, zero));
        pending = zero;
    }

    // The mean of the centre and the chroma taken, signed, for all 16 lanes.
    // In single precision: the numerator (below 2^24 in size) converts
    // exactly, and the quotient, below 2^15, is off by at most 2^-9, while an
    // inexact one lies at least 1 / (entries + 1) > 2^-9 from the next
    // integer away from zero, so truncation gives the integer quotient.
    QV_AVX2 void results(__m256i centre, const Walk& walk, const Band& band, int* out) const
    {
        const __m256i low4 = meansOf(_mm256_unpacklo_epi16(centre, _mm256_setzero_si256()),
                                     _mm256_unpacklo_epi16(band.low, _mm256_setzero_si256()),
                                     _mm256_unpacklo_epi16(walk.taken, _mm256_setzero_si256()), low);
        const __m256i high4 = meansOf(_mm256_unpackhi_epi16(centre, _mm256_setzero_si256()),
                                      _mm256_unpackhi_epi16(band.low, _mm256_setzero_si256()),
                                      _mm256_unpackhi_epi16(walk.taken, _mm256_setzero_si256()), high);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(low4, high4, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), _mm256_permute2x128_si256(low4, high4, 0x31));
    }

    // ((c - 32768) + sum + (l - 32768) * n) / (n + 1) in 32-bit lanes.
    QV_AVX2 static __m256i meansOf(__m256i c, __m256i l, __m256i n, __m256i sum)
    {
        const __m256i offset = _mm256_set1_epi32(32768);
        const __m256i numerator = _mm256_add_epi32(_mm256_add_epi32(_mm256_sub_epi32(c, offset), sum),
                                                   _mm256_mullo_epi32(_mm256_sub_epi32(l, offset), n));
        const __m256 divisor = _mm256_cvtepi32_ps(_mm256_add_epi32(n, _mm256_set1_epi32(1)));
        return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(numerator), divisor));
    }
};

// The centre's own chroma, signed, as the result of the first `lanes` walks.
QV_AVX2 void keepCentres(__m256i centre, int lanes, int* out)
{
    const __m256i offset = _mm256_set1_epi32(32768);
    alignas(32) int kept[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(kept),
                       _mm256_sub_epi32(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(centre)), offset));
    _mm256_store_si256(reinterpret_cast<__m256i*>(kept + 8),
                       _mm256_sub_epi32(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(centre, 1)), offset));
    std::copy_n(kept, lanes, out);
}

// Entry k's index and resume index in every lane, ready to load.
struct LaneEntry {
    alignas(32) uint16_t index[16];
    alignas(32) uint16_t resume[16];
};

// NearBorder: some lane's neighbours may fall left or right of the image;
// NearEdge: some neighbours may fall above or below it.
template <bool NearBorder, bool NearEdge>
QV_AVX2 void walkBoth(const ChromaBlock& b, const Band (&bands)[2], Walk (&walks)[2], Sums (&sums)[2], __m256i l0,
                      int lumaTolerance, int flushEvery, std::span<const RayStep> steps, const LaneEntry* entries)
{
    const __m256i lumaTol = _mm256_set1_epi16(static_cast<short>(lumaTolerance));
    const __m256i lumaLo = _mm256_subs_epu16(l0, lumaTol);
    const __m256i lumaHi = _mm256_adds_epu16(l0, lumaTol);
    alignas(32) int16_t lowest[16], highest[16];
    avx2::laneColumnLimits(b.x, b.width, lowest, highest);
    const __m256i lowestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(lowest));
    const __m256i highestDx = _mm256_load_si256(reinterpret_cast<const __m256i*>(highest));

    // Working copies: the compiler keeps these in registers, where stores
    // through the plane pointers might otherwise alias them.
    Walk w0 = walks[0], w1 = walks[1];
    const uint16_t* const chroma = b.chroma;
    const uint16_t* const luma = b.luma;
    const __m256i all = _mm256_set1_epi16(-1);
    const int n = static_cast<int>(steps.size());
    int sinceFlush = 0;
    for (int k = 1; k < n;) {
        const RayStep& s = steps[k];
        if (NearEdge && static_cast<unsigned>(b.y + s.dy) >= static_cast<unsigned>(b.height)) {
            ++k;  // outside the image for every lane
            continue;
        }
        // The lanes away from entry k: next > k.
        const __m256i index = load(entries[k].index);
        __m256i away0 = _mm256_cmpgt_epi16(w0.next, index);
        __m256i away1 = _mm256_cmpgt_epi16(w1.next, index);
        if constexpr (NearBorder) {
            // Lanes whose neighbour lies left or right of the image pass it by.
            const __m256i dx = _mm256_set1_epi16(s.dx);
            const __m256i outside =
                _mm256_or_si256(_mm256_cmpgt_epi16(lowestDx, dx), _mm256_cmpgt_epi16(dx, highestDx));
            away0 = _mm256_or_si256(outside, away0);
            away1 = _mm256_or_si256(outside, away1);
        }
        if (_mm256_testc_si256(_mm256_and_si256(away0, away1), all)) {
            const int nearest = std::min(lowestLane(w0.next), lowestLane(w1.next));
            if (nearest >= n)
                break;
            k = std::max(k + 1, nearest);
            continue;
        }
        const __m256i cv = load(chroma + s.offset);
        const __m256i lumaOk = within(load(luma + s.offset), lumaLo, lumaHi);
        const __m256i resume = load(entries[k].resume);
        w0.step(bands[0], away0, cv, lumaOk, resume);
        w1.step(bands[1], away1, cv, lumaOk, resume);
        if (++sinceFlush == flushEvery) {
            sums[0].add(w0.pending);
            sums[1].add(w1.pending);
            sinceFlush = 0;
        }
        ++k;
    }
    sums[0].add(w0.pending);
    sums[1].add(w1.pending);
    walks[0] = w0;
    walks[1] = w1;
}

}  // namespace

QV_AVX2 void chromaWalkRowAvx2(const ChromaRow& row, const ColorNRParams& params, int* const results[2])
{
    const __m256i lumaTol = _mm256_set1_epi16(static_cast<short>(params.lumaTolerance));
    const std::size_t offset = static_cast<std::size_t>(row.y) * row.width;
    const uint16_t* chroma = row.chroma + offset;
    const uint16_t* luma = row.luma + offset;
    const int widest = std::max(params.passes[0].tolerance, params.passes[1].tolerance);
    // A walk adds at most twice its tolerance per lane and step to the 16-bit pending sums.
    const int flushEvery = avx2::flushInterval(2 * int64_t{widest});
    // Filled when the first block walks; a list longer than any the stage
    // builds is walked by the plain row.
    if (row.steps.size() > static_cast<std::size_t>(kRayListCapacity)) {
        chromaWalkRow(row, params, results);
        return;
    }
    LaneEntry entries[kRayListCapacity];
    bool entriesReady = false;

    for (int x0 = row.xBegin; x0 < row.xEnd; x0 += 16) {
        const int lanes = std::min(16, row.xEnd - x0);
        // A block short of 16 columns is copied into full lanes.
        alignas(32) uint16_t part[6][16] = {};
        const int r = x0 - row.xBegin;  // the block's place in the range rows
        const uint16_t* rows[6] = {chroma + x0,       luma + x0,       row.chromaMin + r,
                                   row.chromaMax + r, row.lumaMin + r, row.lumaMax + r};
        if (lanes < 16) {
            for (int i = 0; i < 6; ++i) {
                std::copy_n(rows[i], lanes, part[i]);
                rows[i] = part[i];
            }
        }
        const __m256i c0 = load(rows[0]);
        const __m256i l0 = load(rows[1]);
        const __m256i cMin = load(rows[2]), cMax = load(rows[3]);
        // As in the plain row: no neighbour can move the chroma or be refused.
        const __m256i lumaUnsteady = _mm256_or_si256(greater(l0, _mm256_adds_epu16(load(rows[4]), lumaTol)),
                                                     greater(load(rows[5]), _mm256_adds_epu16(l0, lumaTol)));
        const __m256i laneIndex = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m256i inRow = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(lanes)), laneIndex);
        const __m256i done = _mm256_set1_epi16(static_cast<short>(row.steps.size()));

        Band bands[2];
        Walk walks[2];
        const __m256i zero = _mm256_setzero_si256();
        Sums sums[2] = {{zero, zero}, {zero, zero}};
        uint32_t walking[2];
        for (int p = 0; p < 2; ++p) {
            const __m256i slew = _mm256_set1_epi16(static_cast<short>(params.passes[p].slew));
            const __m256i tolerance = _mm256_set1_epi16(static_cast<short>(params.passes[p].tolerance));
            const __m256i unsteady = _mm256_and_si256(
                inRow, _mm256_or_si256(lumaUnsteady, _mm256_or_si256(greater(c0, _mm256_adds_epu16(cMin, slew)),
                                                                      greater(cMax, _mm256_adds_epu16(c0, slew)))));
            walking[p] = static_cast<uint32_t>(_mm256_movemask_epi8(unsteady)) & 0x55555555u;
            const __m256i low = _mm256_subs_epu16(c0, tolerance);
            bands[p] = {low, _mm256_sub_epi16(_mm256_adds_epu16(c0, tolerance), low), slew};
            walks[p] = {c0, _mm256_blendv_epi8(done, _mm256_set1_epi16(1), unsteady), zero, zero};
        }
        if (!(walking[0] | walking[1])) {
            for (int p = 0; p < 2; ++p)
                keepCentres(c0, lanes, results[p] + x0);
            continue;
        }
        if (!avx2::blockLoadsStayInside(row, x0)) {
            // Walked one by one instead.
            for (int p = 0; p < 2; ++p) {
                keepCentres(c0, lanes, results[p] + x0);
                for (uint32_t w = walking[p]; w; w &= w - 1) {
                    const int x = x0 + __builtin_ctz(w) / 2;
                    results[p][x] = chromaWalk(row.sourceChroma, row.luma, row.width, row.height, x, row.y,
                                               row.component, row.rays, params.passes[p], params.lumaTolerance);
                }
            }
            continue;
        }

        if (!entriesReady) {
            for (std::size_t k = 0; k < row.steps.size(); ++k) {
                std::fill_n(entries[k].index, 16, static_cast<uint16_t>(k));
                std::fill_n(entries[k].resume, 16, static_cast<uint16_t>(row.steps[k].resume));
            }
            entriesReady = true;
        }
        const ChromaBlock block{chroma + x0, luma + x0, x0, row.y, row.width, row.height};
        const bool nearBorder = x0 < row.reach || x0 + 15 + row.reach >= row.width;
        const bool nearEdge = row.y < row.rowsUp || row.y + row.rowsDown >= row.height;
        auto walk = nearBorder ? (nearEdge ? walkBoth<true, true> : walkBoth<true, false>)
                               : (nearEdge ? walkBoth<false, true> : walkBoth<false, false>);
        walk(block, bands, walks, sums, l0, params.lumaTolerance, flushEvery, row.steps, entries);
        // Lanes that did not walk took nothing: their mean is the centre.
        for (int p = 0; p < 2; ++p) {
            int walked[16];
            sums[p].results(c0, walks[p], bands[p], walked);
            std::copy_n(walked, lanes, results[p] + x0);
        }
    }
}

}  // namespace qv
