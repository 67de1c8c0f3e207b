// The colour noise reduction walks of a row, 32 pixels at once with AVX-512,
// both chroma components and both passes side by side: the scheme of the
// AVX2 twin (chroma_walk_avx2.cpp), with the lanes at an entry held in mask
// registers.
// Every operation of a step leaves the other lanes alone through its mask,
// so a step needs about half the instructions, over twice the lanes.
// Neighbouring pixels mostly walk alike: a block of 32 visits only about a
// tenth more entries than one of 16.
#include <algorithm>

#include "engine/kernels/simd_avx512.h"
#include "engine/stages/color_noise_reduction/chroma_walk.h"

namespace qv {

namespace {

using avx512::load;

// What one pass's walks compare against, per lane.
struct Band {
    __m512i low;    // the chroma band around the centre: its low end
    __m512i width;  // and its width
    __m512i slew;
};

// One pass's walks over the 32 lanes, from entry to entry.
struct Walk {
    __m512i t;        // the walk's chroma
    __m512i next;     // each lane's next entry
    __m512i taken;    // neighbours taken
    __m512i pending;  // sum of (t - low) over the neighbours taken since the last flush

    // One entry for the lanes `at` it: the chroma follows the neighbour's to
    // within the slew, the neighbour is taken or refused, and a refused one
    // moves the lane on to `resume`, past this entry.
    QV_AVX512 void step(const Band& band, __mmask32 at, __m512i cv, __mmask32 lumaOk, __m512i resume)
    {
        t = _mm512_mask_max_epu16(t, at, t, _mm512_subs_epu16(cv, band.slew));
        t = _mm512_mask_min_epu16(t, at, t, _mm512_adds_epu16(cv, band.slew));
        // Above the band's low end by at most its width (below it wraps round to more).
        const __m512i above = _mm512_sub_epi16(t, band.low);
        const __mmask32 took = _mm512_mask_cmple_epu16_mask(at & lumaOk, above, band.width);
        pending = _mm512_mask_add_epi16(pending, took, pending, above);
        taken = _mm512_mask_sub_epi16(taken, took, taken, _mm512_set1_epi16(-1));
        next = _mm512_mask_mov_epi16(next, at & ~took, resume);
    }
};

// The pending sums of a walk, widened to 32 bits: lanes 0-15 in `lower`,
// 16-31 in `upper`.
struct Sums {
    __m512i lower;
    __m512i upper;

    QV_AVX512 void add(__m512i& pending)
    {
        lower = _mm512_add_epi32(lower, avx512::widenLower(pending));
        upper = _mm512_add_epi32(upper, avx512::widenUpper(pending));
        pending = _mm512_setzero_si512();
    }

    // The mean of the centre and the chroma taken, signed, for the lanes in
    // `lanes`; exact in single precision as in the AVX2 twin.
    QV_AVX512 void results(__m512i centre, const Walk& walk, const Band& band, __mmask32 lanes, int* out) const
    {
        using avx512::widenLower, avx512::widenUpper;
        _mm512_mask_storeu_epi32(out, static_cast<__mmask16>(lanes),
                                 meansOf(widenLower(centre), widenLower(band.low), widenLower(walk.taken), lower));
        _mm512_mask_storeu_epi32(out + 16, static_cast<__mmask16>(lanes >> 16),
                                 meansOf(widenUpper(centre), widenUpper(band.low), widenUpper(walk.taken), upper));
    }

    // ((c - 32768) + sum + (l - 32768) * n) / (n + 1) in 32-bit lanes.
    QV_AVX512 static __m512i meansOf(__m512i c, __m512i l, __m512i n, __m512i sum)
    {
        const __m512i offset = _mm512_set1_epi32(32768);
        const __m512i numerator = _mm512_add_epi32(_mm512_add_epi32(_mm512_sub_epi32(c, offset), sum),
                                                   _mm512_mullo_epi32(_mm512_sub_epi32(l, offset), n));
        const __m512 divisor = _mm512_cvtepi32_ps(_mm512_add_epi32(n, _mm512_set1_epi32(1)));
        return _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(numerator), divisor));
    }
};

// The centre's own chroma, signed, as the result of the walks in `lanes`.
QV_AVX512 void keepCentres(__m512i centre, __mmask32 lanes, int* out)
{
    const __m512i offset = _mm512_set1_epi32(32768);
    _mm512_mask_storeu_epi32(out, static_cast<__mmask16>(lanes),
                             _mm512_sub_epi32(avx512::widenLower(centre), offset));
    _mm512_mask_storeu_epi32(out + 16, static_cast<__mmask16>(lanes >> 16),
                             _mm512_sub_epi32(avx512::widenUpper(centre), offset));
}

// The least of 32 unsigned 16-bit lanes.
QV_AVX512 int lowestLane(__m512i v)
{
    const __m256i half = _mm256_min_epu16(_mm512_castsi512_si256(v), _mm512_extracti64x4_epi64(v, 1));
    const __m128i quarter = _mm_min_epu16(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
    return _mm_cvtsi128_si32(_mm_minpos_epu16(quarter)) & 0xFFFF;
}

// One chroma component's walks over a block of 32 pixels: its plane at the
// block's first pixel, and each pass's band, walk and sums.
struct ComponentWalks {
    const uint16_t* chroma;
    Band bands[2];
    Walk walks[2];
    Sums sums[2];
};

// Both components' walks over one block, side by side: every entry's
// luminance test and the loop around them are shared.
// NearBorder: some lane's neighbours may fall left or right of the image;
// NearEdge: some neighbours may fall above or below it. `resumes` holds each
// entry's resume index twice, as the two halves of 32 bits.
template <bool NearBorder, bool NearEdge>
QV_AVX512 void walkBlock(const ChromaBlock& b, ComponentWalks (&components)[2], __m512i l0, int lumaTolerance,
                         int flushEvery, std::span<const RayStep> steps, const uint32_t* resumes)
{
    const __m512i lumaTol = _mm512_set1_epi16(static_cast<short>(lumaTolerance));
    const __m512i lumaLo = _mm512_subs_epu16(l0, lumaTol);
    const __m512i lumaHi = _mm512_adds_epu16(l0, lumaTol);
    alignas(64) int16_t lowest[32], highest[32];
    avx2::laneColumnLimits(b.x, b.width, lowest, highest);
    const __m512i lowestDx = _mm512_load_si512(lowest);
    const __m512i highestDx = _mm512_load_si512(highest);

    // Working copies, kept in registers.
    Walk w[2][2];
    for (int c = 0; c < 2; ++c)
        for (int p = 0; p < 2; ++p)
            w[c][p] = components[c].walks[p];
    const uint16_t* const luma = b.luma;
    const int n = static_cast<int>(steps.size());
    int sinceFlush = 0;
    for (int k = 1; k < n;) {
        const RayStep& s = steps[k];
        if (NearEdge && static_cast<unsigned>(b.y + s.dy) >= static_cast<unsigned>(b.height)) {
            ++k;  // outside the image for every lane
            continue;
        }
        // The lanes at entry k: next <= k.
        const __m512i index = _mm512_set1_epi16(static_cast<short>(k));
        __mmask32 inside = ~__mmask32{0};
        if constexpr (NearBorder) {
            // Lanes whose neighbour lies left or right of the image pass it by.
            const __m512i dx = _mm512_set1_epi16(s.dx);
            inside = _mm512_mask_cmple_epi16_mask(_mm512_cmple_epi16_mask(lowestDx, dx), dx, highestDx);
        }
        __mmask32 at[2][2];
        __mmask32 any = 0;
        for (int c = 0; c < 2; ++c)
            for (int p = 0; p < 2; ++p) {
                at[c][p] = _mm512_mask_cmple_epu16_mask(inside, w[c][p].next, index);
                any |= at[c][p];
            }
        if (!any) {
            __m512i next = w[0][0].next;
            for (int c = 0; c < 2; ++c)
                for (int p = 0; p < 2; ++p)
                    next = _mm512_min_epu16(next, w[c][p].next);
            const int nearest = lowestLane(next);
            if (nearest >= n)
                break;
            k = std::max(k + 1, nearest);
            continue;
        }
        const __m512i lv = load(luma + s.offset);
        const __mmask32 lumaOk = _mm512_mask_cmple_epu16_mask(_mm512_cmple_epu16_mask(lumaLo, lv), lv, lumaHi);
        const __m512i resume = _mm512_set1_epi32(static_cast<int>(resumes[k]));
        for (int c = 0; c < 2; ++c) {
            const __m512i cv = load(components[c].chroma + s.offset);
            for (int p = 0; p < 2; ++p)
                w[c][p].step(components[c].bands[p], at[c][p], cv, lumaOk, resume);
        }
        if (++sinceFlush == flushEvery) {
            for (int c = 0; c < 2; ++c)
                for (int p = 0; p < 2; ++p)
                    components[c].sums[p].add(w[c][p].pending);
            sinceFlush = 0;
        }
        ++k;
    }
    for (int c = 0; c < 2; ++c)
        for (int p = 0; p < 2; ++p) {
            components[c].sums[p].add(w[c][p].pending);
            components[c].walks[p] = w[c][p];
        }
}

}  // namespace

QV_AVX512 void chromaWalkRowPairAvx512(const ChromaRow (&rows)[2], const ColorNRParams& params,
                                       int* const results[2][2])
{
    // A list longer than any the stage builds is walked by the plain row.
    if (rows[0].steps.size() > static_cast<std::size_t>(kRayListCapacity)) {
        for (int c = 0; c < 2; ++c)
            chromaWalkRow(rows[c], params, results[c]);
        return;
    }
    const ChromaRow& row = rows[0];  // the components' rows differ only in their chroma
    const __m512i lumaTol = _mm512_set1_epi16(static_cast<short>(params.lumaTolerance));
    const std::size_t offset = static_cast<std::size_t>(row.y) * row.width;
    const uint16_t* luma = row.luma + offset;
    const int widest = std::max(params.passes[0].tolerance, params.passes[1].tolerance);
    // A walk adds at most twice its tolerance per lane and step to the 16-bit pending sums.
    const int flushEvery = avx2::flushInterval(2 * int64_t{widest});
    uint32_t resumes[kRayListCapacity];
    for (std::size_t k = 0; k < row.steps.size(); ++k)
        resumes[k] = static_cast<uint32_t>(row.steps[k].resume) * 0x10001u;
    const __m512i done = _mm512_set1_epi16(static_cast<short>(row.steps.size()));
    const __m512i zero = _mm512_setzero_si512();

    for (int x0 = row.xBegin; x0 < row.xEnd; x0 += 32) {
        // A block short of 32 columns loads only its own lanes.
        const __mmask32 inRow = avx512::firstLanes(row.xEnd - x0);
        const int r = x0 - row.xBegin;  // the block's place in the range rows
        const __m512i l0 = _mm512_maskz_loadu_epi16(inRow, luma + x0);
        // As in the plain row: no neighbour can move the chroma or be refused.
        const __mmask32 lumaUnsteady =
            _mm512_cmpgt_epu16_mask(l0, _mm512_adds_epu16(_mm512_maskz_loadu_epi16(inRow, row.lumaMin + r), lumaTol)) |
            _mm512_cmpgt_epu16_mask(_mm512_maskz_loadu_epi16(inRow, row.lumaMax + r), _mm512_adds_epu16(l0, lumaTol));

        ComponentWalks components[2];
        __m512i c0[2];
        __mmask32 walking[2][2];
        __mmask32 anyWalking = 0;
        for (int c = 0; c < 2; ++c) {
            const uint16_t* chroma = rows[c].chroma + offset;
            c0[c] = _mm512_maskz_loadu_epi16(inRow, chroma + x0);
            const __m512i cMin = _mm512_maskz_loadu_epi16(inRow, rows[c].chromaMin + r);
            const __m512i cMax = _mm512_maskz_loadu_epi16(inRow, rows[c].chromaMax + r);
            components[c].chroma = chroma + x0;
            for (int p = 0; p < 2; ++p) {
                const __m512i slew = _mm512_set1_epi16(static_cast<short>(params.passes[p].slew));
                const __m512i tolerance = _mm512_set1_epi16(static_cast<short>(params.passes[p].tolerance));
                walking[c][p] = inRow & (lumaUnsteady | _mm512_cmpgt_epu16_mask(c0[c], _mm512_adds_epu16(cMin, slew)) |
                                         _mm512_cmpgt_epu16_mask(cMax, _mm512_adds_epu16(c0[c], slew)));
                anyWalking |= walking[c][p];
                const __m512i low = _mm512_subs_epu16(c0[c], tolerance);
                components[c].bands[p] = {low, _mm512_sub_epi16(_mm512_adds_epu16(c0[c], tolerance), low), slew};
                components[c].walks[p] = {c0[c], _mm512_mask_blend_epi16(walking[c][p], done, _mm512_set1_epi16(1)),
                                          zero, zero};
                components[c].sums[p] = {zero, zero};
            }
        }
        if (!anyWalking || !avx2::blockLoadsStayInside<32>(row, x0)) {
            // Walked one by one, if at all.
            for (int c = 0; c < 2; ++c)
                for (int p = 0; p < 2; ++p) {
                    keepCentres(c0[c], inRow, results[c][p] + x0);
                    for (__mmask32 lanes = walking[c][p]; lanes; lanes &= lanes - 1) {
                        const int x = x0 + __builtin_ctz(lanes);
                        results[c][p][x] = chromaWalk(row.sourceChroma, row.luma, row.width, row.height, x, row.y,
                                                      rows[c].component, row.rays, params.passes[p],
                                                      params.lumaTolerance);
                    }
                }
            continue;
        }

        const ChromaBlock block{nullptr, luma + x0, x0, row.y, row.width, row.height};
        const bool nearBorder = x0 < row.reach || x0 + 31 + row.reach >= row.width;
        const bool nearEdge = row.y < row.rowsUp || row.y + row.rowsDown >= row.height;
        auto walk = nearBorder ? (nearEdge ? walkBlock<true, true> : walkBlock<true, false>)
                               : (nearEdge ? walkBlock<false, true> : walkBlock<false, false>);
        walk(block, components, l0, params.lumaTolerance, flushEvery, row.steps, resumes);
        // Lanes that did not walk took nothing: their mean is the centre.
        for (int c = 0; c < 2; ++c)
            for (int p = 0; p < 2; ++p)
                components[c].sums[p].results(c0[c], components[c].walks[p], components[c].bands[p], inRow,
                                              results[c][p] + x0);
    }
}

}  // namespace qv
