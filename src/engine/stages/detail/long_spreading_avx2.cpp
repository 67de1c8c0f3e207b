// The block search of long_spreading.h with AVX2: 16 spreads a vector, one
// 16-bit lane each, in blocks of 16 pixels. Sets of lanes are vectors of
// all-ones lanes; reading lane i of a 16-lane table for each lane (one
// permutation with AVX-512) is two byte shuffles within the halves and a
// blend between them.
#include <algorithm>
#include <bit>
#include <cstdint>

#include "engine/kernels/simd_avx2.h"
#include "engine/stages/detail/long_spreading.h"
#include "engine/stages/detail/spread_steps.h"

namespace qv {

namespace {

constexpr int kLanes = 16;
using avx2::atMost;
using avx2::firstLanes;
using avx2::greater;
using avx2::laneIndex;
using avx2::load;
using avx2::store;

QV_AVX2 inline __m256i splat(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }

inline unsigned firstLaneBits(int lanes) { return lanes >= kLanes ? 0xFFFFu : lanes <= 0 ? 0u : (1u << lanes) - 1; }

// A set of lanes as bits, lane i in bit i.
QV_AVX2 inline unsigned bitsOf(__m256i lanes)
{
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_packs_epi16(_mm256_castsi256_si128(lanes), _mm256_extracti128_si256(lanes, 1))));
}

QV_AVX2 inline bool none(__m256i lanes) { return _mm256_testz_si256(lanes, lanes); }

QV_AVX2 inline __m256i select(__m256i lanes, __m256i whereSet, __m256i elsewhere)
{
    return _mm256_blendv_epi8(elsewhere, whereSet, lanes);
}

// Lane j takes lane j - M, `fill` the first M lanes (0 < M <= 8).
template <int M>
QV_AVX2 inline __m256i fromBehind(__m256i v, __m256i fill)
{
    const __m256i across = _mm256_permute2x128_si256(fill, v, 0x21);  // fill's upper half, v's lower
    if constexpr (M == 8)
        return across;
    else
        return _mm256_alignr_epi8(v, across, 16 - 2 * M);
}

// Lane j takes lane j + M, `fill` the last M lanes (0 < M <= 8).
template <int M>
QV_AVX2 inline __m256i fromAhead(__m256i v, __m256i fill)
{
    const __m256i across = _mm256_permute2x128_si256(v, fill, 0x21);  // v's upper half, fill's lower
    if constexpr (M == 8)
        return across;
    else
        return _mm256_alignr_epi8(across, v, 2 * M);
}

// The 16 lanes in reverse order.
QV_AVX2 inline __m256i reversed(__m256i v)
{
    const __m256i bytes = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12, 13, 10, 11,
                                           8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, bytes), 0x4E);
}

// A 16-lane table to read by lane index: each half in both halves.
struct Table {
    __m256i lower, upper;
};

QV_AVX2 inline Table tableOf(__m256i v)
{
    return {_mm256_permute2x128_si256(v, v, 0x00), _mm256_permute2x128_si256(v, v, 0x11)};
}

// Lane indices 0..15 prepared for reading tables: the bytes of lane i % 8
// of a half, and whether i lies in the upper half. Index 16 (a block's
// end) reads something; its lanes are never used.
struct TableIndex {
    __m256i bytes, upper;
};

QV_AVX2 inline TableIndex indexOf(__m256i i)
{
    const __m256i inHalf = _mm256_and_si256(i, splat(7));
    // Bytes 2k and 2k + 1 of the half: (2k) + (2k + 1) * 256.
    return {_mm256_add_epi16(_mm256_mullo_epi16(inHalf, splat(0x202)), splat(0x100)),
            _mm256_cmpgt_epi16(i, splat(7))};
}

QV_AVX2 inline __m256i read(const Table& table, const TableIndex& index)
{
    return select(index.upper, _mm256_shuffle_epi8(table.upper, index.bytes),
                  _mm256_shuffle_epi8(table.lower, index.bytes));
}

// Lanes whose band [low, high] holds [lowest, highest].
QV_AVX2 inline __m256i holds(__m256i low, __m256i high, __m256i lowest, __m256i highest)
{
    return _mm256_and_si256(atMost(low, lowest), atMost(highest, high));
}

// The 16 pixels of a line from x0 on (`count` of them, the rest 0), or
// with the line reversed for the spreads towards its start.
QV_AVX2 __m256i blockOf(const uint16_t* line, int n, int x0, int count, bool backwards)
{
    if (count == kLanes)
        return backwards ? reversed(load(line + (n - x0 - kLanes))) : load(line + x0);
    alignas(32) uint16_t part[kLanes] = {};
    for (int i = 0; i < count; ++i)
        part[i] = line[backwards ? n - 1 - x0 - i : x0 + i];
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(part));
}

// Each lane's extent [low, high] merged with the one M lanes back (Behind)
// or ahead: where there is none, with the empty extent.
template <int M>
QV_AVX2 inline void mergeBehind(__m256i& low, __m256i& high)
{
    low = _mm256_min_epu16(low, fromBehind<M>(low, splat(65535)));
    high = _mm256_max_epu16(high, fromBehind<M>(high, _mm256_setzero_si256()));
}
template <int M>
QV_AVX2 inline void mergeAhead(__m256i& low, __m256i& high)
{
    low = _mm256_min_epu16(low, fromAhead<M>(low, splat(65535)));
    high = _mm256_max_epu16(high, fromAhead<M>(high, _mm256_setzero_si256()));
}

// The luminance extents within one block, from its start up to each pixel
// (head) and from each pixel to its end (tail), one doubling step: each
// takes in the one M pixels back (heads) or ahead (tails).
struct RunningExtents {
    __m256i headLow, headHigh, tailLow, tailHigh;

    template <int M>
    QV_AVX2 void extend()
    {
        mergeBehind<M>(headLow, headHigh);
        mergeAhead<M>(tailLow, tailHigh);
    }
};

// `line` laid out in `planes` (kBlockLinePlanes of blockLinePixels),
// reversed for the spreads towards its start; the extents run over
// blocks of 16.
QV_AVX2 BlockLine layOut(const SpreadLine& line, bool backwards, uint16_t* planes)
{
    const int n = line.length;
    const std::size_t size = blockLinePixels(n);
    const BlockLine out{planes,           planes + size,     planes + 2 * size, planes + 3 * size,
                        planes + 4 * size, planes + 5 * size, n};
    for (int x0 = 0; x0 < n; x0 += kLanes) {
        const int count = std::min(kLanes, n - x0);
        const __m256i luma = blockOf(line.luma, n, x0, count, backwards);
        store(out.luma + x0, luma);
        store(out.values + x0, blockOf(line.values, n, x0, count, backwards));
        // Running extents both ways in four doubling steps; past the end
        // the lowest stays and the highest meets zeros.
        const __m256i low = select(firstLanes(count), luma, splat(65535));
        RunningExtents r{low, luma, low, luma};
        r.extend<1>();
        r.extend<2>();
        r.extend<4>();
        r.extend<8>();
        store(out.headLow + x0, r.headLow);
        store(out.headHigh + x0, r.headHigh);
        store(out.tailLow + x0, r.tailLow);
        store(out.tailHigh + x0, r.tailHigh);
    }
    return out;
}

// The spreads of the `lanes` of the block from x0 all run their whole
// reach, which ends inside the line: their steps lie side by side.
template <int Dir>
QV_AVX2 void ranBlock(const StepRecorder<Dir>& record, int x0, int reach, __m256i lanes)
{
    // Forwards the spread from x0 + i ends at x0 + i + reach; backwards
    // its step lies at length - x0 - 1 - reach - i, so the lanes come in
    // reverse and their values straight from the line.
    const int length = record.length;
    uint64_t* at = Dir > 0 ? record.steps + x0 + reach : record.steps + (length - x0 - reach - kLanes);
    const uint16_t* from = Dir > 0 ? record.values + x0 : record.values + (length - x0 - kLanes);
    const __m256i in = Dir > 0 ? lanes : reversed(lanes);
    const __m128i halves[2] = {_mm256_castsi256_si128(in), _mm256_extracti128_si256(in, 1)};
    const __m256i one = _mm256_set1_epi64x(int64_t{1} << 32);
    for (int q = 0; q < kLanes / 4; ++q) {
        const __m128i half = halves[q / 2];
        const __m256i taken = _mm256_cvtepi16_epi64(q % 2 ? _mm_srli_si128(half, 8) : half);
        const __m256i c = _mm256_and_si256(
            taken,
            _mm256_add_epi64(_mm256_cvtepu16_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + 4 * q))),
                             one));
        __m256i* held = reinterpret_cast<__m256i*>(at + 4 * q);
        const __m256i before = _mm256_loadu_si256(held);
        _mm256_storeu_si256(held, Dir > 0 ? _mm256_sub_epi64(before, c) : _mm256_add_epi64(before, c));
    }
}

// Running sums of the 16 lanes, widened to 32 bits.
QV_AVX2 void runningSums(__m256i v, uint32_t* out)
{
    __m256i halves[2] = {_mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)),
                         _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1))};
    for (__m256i& h : halves) {
        h = _mm256_add_epi32(h, _mm256_slli_si256(h, 4));
        h = _mm256_add_epi32(h, _mm256_slli_si256(h, 8));
        // The lower half's total carried into the upper half.
        const __m256i total = _mm256_shuffle_epi32(h, 0xFF);
        h = _mm256_add_epi32(h, _mm256_permute2x128_si256(total, total, 0x08));
    }
    halves[1] = _mm256_add_epi32(halves[1], _mm256_permutevar8x32_epi32(halves[0], _mm256_set1_epi32(7)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), halves[0]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), halves[1]);
}

// How far each spread goes from `start` within its own block (the 16
// `pixels` from the block's start, `real` of them in the line): over as
// many pixels as lie within its band [low, high], up to `ownEnd`. The
// extents of 2^l pixels from each pixel (past the line's end inside every
// band) lift each spread in four steps, 8 pixels down to 1, and one more
// pixel to reach a whole block.
QV_AVX2 __m256i liftWithinBlock(__m256i pixels, __m256i real, __m256i start, __m256i ownEnd, __m256i low, __m256i high)
{
    __m256i runLow = select(real, pixels, splat(65535));
    __m256i runHigh = _mm256_and_si256(real, pixels);
    Table lows[4];
    Table highs[4];
    lows[0] = tableOf(runLow);
    highs[0] = tableOf(runHigh);
    mergeAhead<1>(runLow, runHigh);
    lows[1] = tableOf(runLow);
    highs[1] = tableOf(runHigh);
    mergeAhead<2>(runLow, runHigh);
    lows[2] = tableOf(runLow);
    highs[2] = tableOf(runHigh);
    mergeAhead<4>(runLow, runHigh);
    lows[3] = tableOf(runLow);
    highs[3] = tableOf(runHigh);
    __m256i stop = start;
    for (int l : {3, 2, 1, 0, 0}) {
        const __m256i next = _mm256_add_epi16(stop, splat(1 << l));
        const TableIndex at = indexOf(stop);
        const __m256i inside =
            _mm256_and_si256(atMost(next, ownEnd), holds(low, high, read(lows[l], at), read(highs[l], at)));
        stop = select(inside, next, stop);
    }
    return stop;
}

// Where the spread of each pixel of the searched line stops: Dir = 1 the
// spreads from x over x .. x + reach - 1, Dir = -1 (the line reversed)
// those from x over x + 1 .. x + reach, each cut at the line's end. A
// stop is the first pixel outside [value - T, value + T].
template <int Dir>
QV_AVX2 void searchStops(const BlockLine& line, int reach, int tolerance, const StepRecorder<Dir>& record)
{
    constexpr int kFirst = Dir > 0 ? 0 : 1;  // a spread's first pixel, from its own
    const int n = line.length;
    const StopPull pull(tolerance);
    const __m256i lane = laneIndex();
    const __m256i lowest = splat(65535);
    const __m256i all = _mm256_set1_epi16(-1);
    // Bands saturate at the ends of the range: a tolerance of 65535 takes
    // in every luminance, as any larger one does.
    const __m256i t = splat(std::min(tolerance, 65535));
    for (int x0 = 0; x0 < n; x0 += kLanes) {
        const __m256i spreads = firstLanes(n - x0);
        const __m256i value = load(line.values + x0);
        const __m256i low = _mm256_subs_epu16(value, t);
        const __m256i high = _mm256_adds_epu16(value, t);
        // Where each spread's reach ends (exclusive), from x0.
        const __m256i end =
            _mm256_min_epu16(_mm256_add_epi16(lane, splat(kFirst + reach)), splat(std::min(n - x0, 65535)));

        // Within the spreads' own block, up to its end or their reach's:
        // mostly every spread passes all of it, as the extents from each
        // spread's first pixel to the block's end tell; otherwise each is
        // lifted over as many pixels as lie within its band.
        const __m256i pixels = load(line.luma + x0);
        const __m256i ownEnd = _mm256_min_epu16(end, splat(kLanes));
        const __m256i inBlock = firstLanes(kLanes - kFirst);
        const __m256i passing = holds(low, high, select(inBlock, load(line.tailLow + x0 + kFirst), lowest),
                                      _mm256_and_si256(inBlock, load(line.tailHigh + x0 + kFirst)));
        __m256i stop = none(_mm256_andnot_si256(passing, spreads))
                           ? ownEnd
                           : liftWithinBlock(pixels, spreads, _mm256_add_epi16(lane, splat(kFirst)), ownEnd, low,
                                             high);
        const __m256i clear = _mm256_cmpeq_epi16(stop, ownEnd);
        __m256i stopped = _mm256_andnot_si256(clear, spreads);
        __m256i stopLuma = read(tableOf(pixels), indexOf(stop));
        __m256i going = _mm256_and_si256(_mm256_and_si256(spreads, clear), greater(end, splat(kLanes)));

        // The following blocks, while any spread goes on: those whose band
        // holds the block's extent go on unless their reach ends in it; the
        // others stop in it, after as many pixels from its start as lie
        // within the band, found by a binary search over the extents from
        // the block's start (which only grow).
        for (int b0 = x0 + kLanes; !none(going); b0 += kLanes) {
            const __m256i endsHere = n <= b0 + kLanes ? all : firstLanes(b0 + kLanes - x0 - kFirst - reach + 1);
            const int last = b0 + kLanes - 1;
            const __m256i inside =
                _mm256_and_si256(going, holds(low, high, splat(line.headLow[last]), splat(line.headHigh[last])));
            const __m256i leave = _mm256_andnot_si256(inside, going);
            stop = select(_mm256_and_si256(inside, endsHere), end, stop);
            going = _mm256_andnot_si256(endsHere, inside);
            if (none(leave))
                continue;
            const Table headLow = tableOf(load(line.headLow + b0));
            const Table headHigh = tableOf(load(line.headHigh + b0));
            __m256i within = _mm256_setzero_si256();
            for (int step = kLanes / 2; step > 0; step /= 2) {
                const TableIndex probe = indexOf(_mm256_add_epi16(within, splat(step - 1)));
                const __m256i more =
                    _mm256_and_si256(leave, holds(low, high, read(headLow, probe), read(headHigh, probe)));
                within = _mm256_add_epi16(within, _mm256_and_si256(more, splat(step)));
            }
            // A stop unless the reach ends first.
            const __m256i at = _mm256_add_epi16(within, splat(b0 - x0));
            const __m256i stopsHere = _mm256_and_si256(leave, greater(end, at));
            stop = select(leave, select(stopsHere, at, end), stop);
            stopLuma = select(stopsHere, read(tableOf(load(line.luma + b0)), indexOf(within)), stopLuma);
            stopped = _mm256_or_si256(stopped, stopsHere);
        }

        alignas(32) uint16_t stops[kLanes];
        store(stops, stop);
        // The spreads that ran their whole reach: those cut at the line's
        // end together, the others side by side when the block is whole
        // (ranBlock reads its 16 values from the line) and the last lane's
        // reach ends inside the line.
        const int cutAtEnd = n - x0 - kFirst - reach;  // the first lane whose reach the line's end cuts
        const __m256i ranLanes = _mm256_andnot_si256(stopped, spreads);
        unsigned ran = bitsOf(ranLanes);
        const unsigned toEnd = ran & ~firstLaneBits(cutAtEnd);
        if (toEnd) {
            uint64_t sum = 0;
            for (unsigned lanes = toEnd; lanes; lanes &= lanes - 1)
                sum += line.values[x0 + std::countr_zero(lanes)];
            record.ran(n, (static_cast<uint64_t>(std::popcount(toEnd)) << 32) + sum);
            ran &= ~toEnd;
        }
        if (ran && x0 + kLanes <= n && x0 + (kLanes - 1) + kFirst + reach <= n) {
            ranBlock(record, x0, reach, _mm256_and_si256(ranLanes, firstLanes(cutAtEnd)));
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
        const unsigned stoppedBits = bitsOf(stopped);
        if (!stoppedBits)
            continue;
        const __m256i pulled = select(greater(stopLuma, value), _mm256_sub_epi16(stopLuma, splat(pull.down)),
                                      _mm256_add_epi16(stopLuma, splat(pull.up)));
        const unsigned sameAsNext =
            bitsOf(_mm256_cmpeq_epi16(stop, fromAhead<1>(stop, lowest))) & (stoppedBits >> 1);
        alignas(32) uint32_t valueSums[kLanes];
        alignas(32) uint32_t pulledSums[kLanes];
        runningSums(_mm256_and_si256(stopped, value), valueSums);
        runningSums(_mm256_and_si256(stopped, pulled), pulledSums);
        record.stoppedRuns(x0, stops, stoppedBits, stoppedBits & ~sameAsNext, valueSums, pulledSums);
    }
}

// pairsFromSteps, four pixels a vector: the running total within each
// half in one shifted addition, the lower half's carried into the upper,
// the whole carried on by the last lane. A pair (sum, count) is the
// total's two halves, low first.
QV_AVX2 void pairsFromStepsAvx2(uint64_t* steps, int length, uint32_t* pairs)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i carried = zero;
    int x = 0;
    for (; x + 4 <= length; x += 4) {
        __m256i* at = reinterpret_cast<__m256i*>(steps + x);
        __m256i total = _mm256_loadu_si256(at);
        total = _mm256_add_epi64(total, _mm256_slli_si256(total, 8));
        total = _mm256_add_epi64(total, _mm256_blend_epi32(zero, _mm256_permute4x64_epi64(total, 0x55), 0xF0));
        total = _mm256_add_epi64(total, carried);
        carried = _mm256_permute4x64_epi64(total, 0xFF);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs + 2 * x), total);
        _mm256_storeu_si256(at, zero);
    }
    pairsFromSteps(steps, length, pairs, x, static_cast<uint64_t>(_mm256_extract_epi64(carried, 0)));
}

}  // namespace

QV_AVX2 void spreadLongLineAvx2(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                                uint32_t* pairs)
{
    uint64_t* steps = scratch.steps.data() + 1;
    uint16_t* planes = scratch.blockLine.data();
    searchStops<1>(layOut(line, false, planes), reach.forward, tolerance, {steps, line.values, line.length});
    searchStops<-1>(layOut(line, true, planes), reach.back, tolerance, {steps, line.values, line.length});
    pairsFromStepsAvx2(steps, line.length, pairs);
}

}  // namespace qv
