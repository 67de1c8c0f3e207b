// The block search of long_spreading.h: 32 spreads a vector, one 16-bit
// lane each, their bands as lane-wise lower and upper bounds.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "engine/kernels/simd_avx512.h"
#include "engine/stages/detail/long_spreading.h"
#include "engine/stages/detail/spread_steps.h"

namespace qv {

namespace {

constexpr int kLanes = kSearchBlock;
using avx512::firstLanes;
using Lanes = __mmask32;

QV_AVX512 inline __m512i splat(int v) { return _mm512_set1_epi16(static_cast<short>(v)); }

QV_AVX512 inline __m512i laneIndex()
{
    return _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9,
                            8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// Lane j takes lane j + m, `fill` the last m lanes.
QV_AVX512 inline __m512i fromAhead(__m512i v, int m, __m512i fill)
{
    return _mm512_mask_permutexvar_epi16(fill, firstLanes(kLanes - m), _mm512_add_epi16(laneIndex(), splat(m)), v);
}

// Lane j takes lane j - m, `fill` the first m lanes.
QV_AVX512 inline __m512i fromBehind(__m512i v, int m, __m512i fill)
{
    return _mm512_mask_permutexvar_epi16(fill, ~firstLanes(m), _mm512_sub_epi16(laneIndex(), splat(m)), v);
}

// Lane j of the mask moved to lane 31 - j.
QV_AVX512 inline Lanes reversedLanes(Lanes lanes)
{
    const __m512i reverse = _mm512_sub_epi16(splat(kLanes - 1), laneIndex());
    return _mm512_movepi16_mask(_mm512_permutexvar_epi16(reverse, _mm512_movm_epi16(lanes)));
}

// `line` laid out in `planes` (kBlockLinePlanes of blockLinePixels),
// reversed for the spreads towards its start.
QV_AVX512 BlockLine layOut(const SpreadLine& line, bool reversed, uint16_t* planes)
{
    const int n = line.length;
    const std::size_t size = blockLinePixels(n);
    const BlockLine out{planes,           planes + size,     planes + 2 * size, planes + 3 * size,
                        planes + 4 * size, planes + 5 * size, n};
    const __m512i lowest = splat(65535);
    for (int x0 = 0; x0 < n; x0 += kLanes) {
        const int count = std::min(kLanes, n - x0);
        const Lanes real = firstLanes(count);
        const int from = reversed ? n - x0 - count : x0;
        __m512i luma = _mm512_maskz_loadu_epi16(real, line.luma + from);
        __m512i values = _mm512_maskz_loadu_epi16(real, line.values + from);
        if (reversed) {
            const __m512i backwards = _mm512_sub_epi16(splat(count - 1), laneIndex());
            luma = _mm512_maskz_permutexvar_epi16(real, backwards, luma);
            values = _mm512_maskz_permutexvar_epi16(real, backwards, values);
        }
        _mm512_storeu_si512(out.luma + x0, luma);
        _mm512_storeu_si512(out.values + x0, values);
        // Running extents both ways in five doubling steps; past the end
        // the lowest stays and the highest meets zeros.
        const __m512i zero = _mm512_setzero_si512();
        __m512i headLow = _mm512_mask_mov_epi16(lowest, real, luma);
        __m512i headHigh = luma;
        __m512i tailLow = headLow;
        __m512i tailHigh = luma;
        for (int m = 1; m < kLanes; m *= 2) {
            headLow = _mm512_min_epu16(headLow, fromBehind(headLow, m, lowest));
            headHigh = _mm512_max_epu16(headHigh, fromBehind(headHigh, m, zero));
            tailLow = _mm512_min_epu16(tailLow, fromAhead(tailLow, m, lowest));
            tailHigh = _mm512_max_epu16(tailHigh, fromAhead(tailHigh, m, zero));
        }
        _mm512_storeu_si512(out.headLow + x0, headLow);
        _mm512_storeu_si512(out.headHigh + x0, headHigh);
        _mm512_storeu_si512(out.tailLow + x0, tailLow);
        _mm512_storeu_si512(out.tailHigh + x0, tailHigh);
    }
    return out;
}

// The spreads of the `lanes` of `values` all run up to the line's end
// without a stop: one step for all of them.
template <int Dir>
QV_AVX512 void ranToEnd(const StepRecorder<Dir>& record, __m512i values, Lanes lanes)
{
    // At most 32 values of 16 bits: the sum fits in 32.
    const __m512i taken = _mm512_maskz_mov_epi16(lanes, values);
    const uint64_t sum = static_cast<uint32_t>(
        _mm512_reduce_add_epi32(_mm512_add_epi32(avx512::widenLower(taken), avx512::widenUpper(taken))));
    record.ran(record.length, (static_cast<uint64_t>(std::popcount(lanes)) << 32) + sum);
}

// The spreads of the `lanes` of the block from x0 all run their whole
// reach, which ends inside the line: their steps lie side by side.
template <int Dir>
QV_AVX512 void ranBlock(const StepRecorder<Dir>& record, int x0, int reach, Lanes lanes)
{
    // Forwards the spread from x0 + i ends at x0 + i + reach; backwards
    // its step lies at length - x0 - 1 - reach - i, so the lanes come
    // in reverse and their values straight from the line.
    const int length = record.length;
    uint64_t* at = Dir > 0 ? record.steps + x0 + reach : record.steps + (length - x0 - reach - kLanes);
    const uint16_t* from = Dir > 0 ? record.values + x0 : record.values + (length - x0 - kLanes);
    const Lanes in = Dir > 0 ? lanes : reversedLanes(lanes);
    const __m512i one = _mm512_set1_epi64(int64_t{1} << 32);
    for (int q = 0; q < kLanes / 8; ++q) {
        const __m512i c = _mm512_add_epi64(
            _mm512_cvtepu16_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8 * q))), one);
        const __m512i held = _mm512_loadu_si512(at + 8 * q);
        _mm512_mask_storeu_epi64(at + 8 * q, static_cast<__mmask8>(in >> (8 * q)),
                                 Dir > 0 ? _mm512_sub_epi64(held, c) : _mm512_add_epi64(held, c));
    }
}

// Running sums of the 32 lanes, widened to 32 bits.
QV_AVX512 void runningSums(__m512i v, uint32_t* out)
{
    const __m512i zero = _mm512_setzero_si512();
    __m512i halves[2] = {avx512::widenLower(v), avx512::widenUpper(v)};
    for (__m512i& h : halves) {
        h = _mm512_add_epi32(h, _mm512_alignr_epi32(h, zero, 15));
        h = _mm512_add_epi32(h, _mm512_alignr_epi32(h, zero, 14));
        h = _mm512_add_epi32(h, _mm512_alignr_epi32(h, zero, 12));
        h = _mm512_add_epi32(h, _mm512_alignr_epi32(h, zero, 8));
    }
    halves[1] = _mm512_add_epi32(halves[1], _mm512_permutexvar_epi32(_mm512_set1_epi32(15), halves[0]));
    _mm512_storeu_si512(out, halves[0]);
    _mm512_storeu_si512(out + 16, halves[1]);
}

// How far each spread goes from `start` within its own block (the 32
// `pixels` from the block's start, `real` of them in the line): over as
// many pixels as lie within its band [low, high], up to `ownEnd`. The
// extents of 2^l pixels from each pixel (past the line's end inside every
// band) lift each spread in five steps, 16 pixels down to 1, and one more
// pixel to reach a whole block.
QV_AVX512 __m512i liftWithinBlock(__m512i pixels, Lanes real, __m512i start, __m512i ownEnd, __m512i low, __m512i high)
{
    const __m512i lowest = splat(65535);
    const __m512i zero = _mm512_setzero_si512();
    __m512i runLow[5];
    __m512i runHigh[5];
    runLow[0] = _mm512_mask_mov_epi16(lowest, real, pixels);
    runHigh[0] = _mm512_maskz_mov_epi16(real, pixels);
    for (int l = 1; l < 5; ++l) {
        runLow[l] = _mm512_min_epu16(runLow[l - 1], fromAhead(runLow[l - 1], 1 << (l - 1), lowest));
        runHigh[l] = _mm512_max_epu16(runHigh[l - 1], fromAhead(runHigh[l - 1], 1 << (l - 1), zero));
    }
    __m512i stop = start;
    for (int l : {4, 3, 2, 1, 0, 0}) {
        const __m512i next = _mm512_add_epi16(stop, splat(1 << l));
        Lanes inside = _mm512_cmple_epu16_mask(next, ownEnd);
        inside = _mm512_mask_cmple_epu16_mask(inside, low, _mm512_permutexvar_epi16(stop, runLow[l]));
        inside = _mm512_mask_cmpge_epu16_mask(inside, high, _mm512_permutexvar_epi16(stop, runHigh[l]));
        stop = _mm512_mask_mov_epi16(stop, inside, next);
    }
    return stop;
}

// Where the spread of each pixel of the searched line stops: Dir = 1 the
// spreads from x over x .. x + reach - 1, Dir = -1 (the line reversed)
// those from x over x + 1 .. x + reach, each cut at the line's end. A
// stop is the first pixel outside [value - T, value + T].
template <int Dir>
QV_AVX512 void searchStops(const BlockLine& line, int reach, int tolerance, const StepRecorder<Dir>& record)
{
    constexpr int kFirst = Dir > 0 ? 0 : 1;  // a spread's first pixel, from its own
    const int n = line.length;
    const StopPull pull(tolerance);
    const __m512i lane = laneIndex();
    const __m512i lowest = splat(65535);
    const __m512i zero = _mm512_setzero_si512();
    // Bands saturate at the ends of the range: a tolerance of 65535 takes
    // in every luminance, as any larger one does.
    const __m512i t = splat(std::min(tolerance, 65535));
    for (int x0 = 0; x0 < n; x0 += kLanes) {
        const Lanes spreads = firstLanes(n - x0);
        const __m512i value = _mm512_loadu_si512(line.values + x0);
        const __m512i low = _mm512_subs_epu16(value, t);
        const __m512i high = _mm512_adds_epu16(value, t);
        // Where each spread's reach ends (exclusive), from x0.
        const __m512i end =
            _mm512_min_epu16(_mm512_add_epi16(lane, splat(kFirst + reach)), splat(std::min(n - x0, 65535)));

        // Within the spreads' own block, up to its end or their reach's:
        // mostly every spread passes all of it, as the extents from each
        // spread's first pixel to the block's end tell; otherwise each is
        // lifted over as many pixels as lie within its band.
        const __m512i pixels = _mm512_loadu_si512(line.luma + x0);
        const __m512i ownEnd = _mm512_min_epu16(end, splat(kLanes));
        const Lanes inBlock = firstLanes(kLanes - kFirst);
        const Lanes passing =
            _mm512_cmple_epu16_mask(low, _mm512_mask_loadu_epi16(lowest, inBlock, line.tailLow + x0 + kFirst)) &
            _mm512_cmpge_epu16_mask(high, _mm512_maskz_loadu_epi16(inBlock, line.tailHigh + x0 + kFirst));
        __m512i stop = (spreads & ~passing) == 0
                           ? ownEnd
                           : liftWithinBlock(pixels, spreads, _mm512_add_epi16(lane, splat(kFirst)), ownEnd, low, high);
        const Lanes clear = _mm512_cmpeq_epi16_mask(stop, ownEnd);
        Lanes stopped = spreads & ~clear;
        __m512i stopLuma = _mm512_permutexvar_epi16(stop, pixels);
        Lanes going = spreads & clear & _mm512_cmpgt_epu16_mask(end, splat(kLanes));

        // The following blocks, while any spread goes on: those whose band
        // holds the block's extent go on unless their reach ends in it; the
        // others stop in it, after as many pixels from its start as lie
        // within the band, found by a binary search over the extents from
        // the block's start (which only grow).
        for (int b0 = x0 + kLanes; going; b0 += kLanes) {
            const Lanes endsHere =
                n <= b0 + kLanes ? ~Lanes{0} : firstLanes(b0 + kLanes - x0 - kFirst - reach + 1);
            const int last = b0 + kLanes - 1;
            const Lanes inside = _mm512_mask_cmple_epu16_mask(going, low, splat(line.headLow[last])) &
                                 _mm512_mask_cmpge_epu16_mask(going, high, splat(line.headHigh[last]));
            const Lanes leave = going & ~inside;
            stop = _mm512_mask_mov_epi16(stop, inside & endsHere, end);
            going = inside & ~endsHere;
            if (!leave)
                continue;
            const __m512i headLow = _mm512_loadu_si512(line.headLow + b0);
            const __m512i headHigh = _mm512_loadu_si512(line.headHigh + b0);
            __m512i within = zero;
            for (int step = kLanes / 2; step > 0; step /= 2) {
                const __m512i probe = _mm512_add_epi16(within, splat(step - 1));
                Lanes more = _mm512_mask_cmple_epu16_mask(leave, low, _mm512_permutexvar_epi16(probe, headLow));
                more = _mm512_mask_cmpge_epu16_mask(more, high, _mm512_permutexvar_epi16(probe, headHigh));
                within = _mm512_mask_add_epi16(within, more, within, splat(step));
            }
            // A stop unless the reach ends first.
            const __m512i at = _mm512_add_epi16(within, splat(b0 - x0));
            const Lanes stopsHere = _mm512_mask_cmplt_epu16_mask(leave, at, end);
            stop = _mm512_mask_mov_epi16(stop, leave, _mm512_mask_mov_epi16(end, stopsHere, at));
            stopLuma = _mm512_mask_mov_epi16(stopLuma, stopsHere,
                                             _mm512_permutexvar_epi16(within, _mm512_loadu_si512(line.luma + b0)));
            stopped |= stopsHere;
        }

        alignas(64) uint16_t stops[kLanes];
        _mm512_store_si512(stops, stop);
        // The spreads that ran their whole reach: those cut at the line's
        // end together, the others side by side when the block is whole
        // (ranBlock reads its 32 values from the line) and the last lane's
        // reach ends inside the line.
        Lanes ran = spreads & ~stopped;
        const Lanes toEnd = ran & ~firstLanes(n - x0 - kFirst - reach);
        if (toEnd) {
            ranToEnd(record, value, toEnd);
            ran &= ~toEnd;
        }
        if (ran && x0 + kLanes <= n && x0 + (kLanes - 1) + kFirst + reach <= n) {
            ranBlock(record, x0, reach, ran);
            ran = 0;
        }
        for (; ran; ran &= ran - 1) {
            const int i = std::countr_zero(ran);
            record.ran(x0 + stops[i], countAndSum(line.values[x0 + i]));
        }
        // The stopped spreads, neighbours that stop at one pixel together:
        // running sums of their values and of what their stops receive
        // (pulled 2/3 of the tolerance towards the value), differences
        // taken at the last lane of each run.
        const __m512i pulled = _mm512_mask_blend_epi16(_mm512_cmpgt_epu16_mask(stopLuma, value),
                                                       _mm512_add_epi16(stopLuma, splat(pull.up)),
                                                       _mm512_sub_epi16(stopLuma, splat(pull.down)));
        const Lanes sameAsNext = _mm512_cmpeq_epi16_mask(stop, fromAhead(stop, 1, lowest)) & (stopped >> 1);
        alignas(64) uint32_t valueSums[kLanes];
        alignas(64) uint32_t pulledSums[kLanes];
        runningSums(_mm512_maskz_mov_epi16(stopped, value), valueSums);
        runningSums(_mm512_maskz_mov_epi16(stopped, pulled), pulledSums);
        record.stoppedRuns(x0, stops, stopped, stopped & ~sameAsNext, valueSums, pulledSums);
    }
}

// pairsFromSteps, eight pixels a vector: the running total within the
// vector in three shifted additions, carried on by its last lane. A pair
// (sum, count) is the total's two halves, low first.
QV_AVX512 void pairsFromStepsAvx512(uint64_t* steps, int length, uint32_t* pairs)
{
    const __m512i zero = _mm512_setzero_si512();
    __m512i carried = zero;
    for (int x = 0; x < length; x += 8) {
        const __mmask8 pixels = static_cast<__mmask8>(firstLanes(length - x));
        __m512i total = _mm512_maskz_loadu_epi64(pixels, steps + x);
        total = _mm512_add_epi64(total, _mm512_alignr_epi64(total, zero, 7));
        total = _mm512_add_epi64(total, _mm512_alignr_epi64(total, zero, 6));
        total = _mm512_add_epi64(total, _mm512_alignr_epi64(total, zero, 4));
        total = _mm512_add_epi64(total, carried);
        carried = _mm512_permutexvar_epi64(_mm512_set1_epi64(7), total);
        _mm512_mask_storeu_epi64(pairs + 2 * x, pixels, total);
        _mm512_mask_storeu_epi64(steps + x, pixels, zero);
    }
    steps[-1] = steps[length] = steps[length + 1] = 0;
}

}  // namespace

QV_AVX512 void spreadLongLineAvx512(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                                    uint32_t* pairs)
{
    uint64_t* steps = scratch.steps.data() + 1;
    uint16_t* planes = scratch.blockLine.data();
    searchStops<1>(layOut(line, false, planes), reach.forward, tolerance, {steps, line.values, line.length});
    searchStops<-1>(layOut(line, true, planes), reach.back, tolerance, {steps, line.values, line.length});
    pairsFromStepsAvx512(steps, line.length, pairs);
}

}  // namespace qv
