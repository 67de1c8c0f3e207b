#include "engine/stages/detail/detail_spreading.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#ifdef QV_X86_SIMD
#include <emmintrin.h>
#endif

#include "engine/kernels/simd.h"
#include "engine/pipeline/allocation.h"
#include "engine/stages/detail/long_spreading.h"
#include "engine/stages/detail/short_spreading.h"
#include "engine/stages/detail/spread_steps.h"

namespace qv {

namespace {

int floorLog2(int v) { return std::bit_width(static_cast<unsigned>(v)) - 1; }

// Highest level of the range table for lines of `length` pixels and runs of
// up to `longestRun` pixels.
int topLevel(int length, int longestRun) { return floorLog2(std::max(1, std::min(length, longestRun))); }

// The last steps of a search test 16 pixels at once.
constexpr int kScanPixels = 16;
constexpr int kScanLevel = 4;
// Guard pixels on both sides of the line's copy, so that a scan may reach
// past either end.
constexpr int kGuard = kScanPixels;

// The loops that run on vectors where the processor has them, each with a
// plain twin that gives the same bits.
struct PlainLoops {
    // Bit i set when pixel i of the 16 from `pixels` lies outside [low, high].
    static unsigned outsideMask(const uint16_t* pixels, uint16_t low, uint16_t high)
    {
        unsigned mask = 0;
        for (int i = 0; i < kScanPixels; ++i)
            mask |= static_cast<unsigned>(pixels[i] < low || pixels[i] > high) << i;
        return mask;
    }

    // out[i] = max(a[i], b[i]) for i < count.
    static void maxOfPairs(const uint16_t* a, const uint16_t* b, uint16_t* out, int count)
    {
        for (int i = 0; i < count; ++i)
            out[i] = std::max(a[i], b[i]);
    }

    // The extent (65535 - luminance, luminance) of each of `count` pixels.
    static void pixelExtents(const uint16_t* luma, int count, uint16_t* extents)
    {
        for (int i = 0; i < count; ++i) {
            extents[2 * i] = static_cast<uint16_t>(65535 - luma[i]);
            extents[2 * i + 1] = luma[i];
        }
    }

    // The merged extents of the `count` pixel extents from `pixels` up to
    // each pixel (heads) and from each pixel to the last one (tails). Up to
    // 3 extents past the last are written as well, and the pixel extents
    // may be read that far.
    static void blockExtents(const uint16_t* pixels, int count, uint16_t* heads, uint16_t* tails)
    {
        uint16_t low = 0;
        uint16_t high = 0;
        for (int i = 0; i < count; ++i) {
            low = std::max(low, pixels[2 * i]);
            high = std::max(high, pixels[2 * i + 1]);
            heads[2 * i] = low;
            heads[2 * i + 1] = high;
        }
        low = high = 0;
        for (int i = count - 1; i >= 0; --i) {
            low = std::max(low, pixels[2 * i]);
            high = std::max(high, pixels[2 * i + 1]);
            tails[2 * i] = low;
            tails[2 * i + 1] = high;
        }
    }

    // full[i] = 1 when the extent merged from tails[i] and heads[i] lies
    // within the tolerance of values[i], else 0, for i < count.
    static void runsWithin(const uint16_t* tails, const uint16_t* heads, const uint16_t* values, int count,
                           int32_t tolerance, uint8_t* full)
    {
        for (int i = 0; i < count; ++i) {
            const int32_t value = static_cast<int32_t>(values[i]);
            full[i] = 65535 - std::max(tails[2 * i], heads[2 * i]) >= value - tolerance &&
                      std::max(tails[2 * i + 1], heads[2 * i + 1]) <= value + tolerance;
        }
    }
};

#ifdef QV_X86_SIMD
// The four bytes 0 or 1 of each 4-bit mask, lowest bit first in memory.
constexpr auto kFlagBytes = [] {
    std::array<uint32_t, 16> bytes{};
    for (uint32_t mask = 0; mask < 16; ++mask)
        for (int j = 0; j < 4; ++j)
            bytes[mask] |= ((mask >> j) & 1u) << (8 * j);
    return bytes;
}();

// SSE2 is part of every x86-64 processor: no check at run time needed.
struct VectorLoops {
    // Unsigned saturating differences v - high and low - v are both zero
    // exactly for pixels inside.
    static unsigned outsideMask(const uint16_t* pixels, uint16_t low, uint16_t high)
    {
        const __m128i lo = _mm_set1_epi16(static_cast<short>(low));
        const __m128i hi = _mm_set1_epi16(static_cast<short>(high));
        auto inside = [&](const uint16_t* p) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            return _mm_cmpeq_epi16(_mm_or_si128(_mm_subs_epu16(v, hi), _mm_subs_epu16(lo, v)),
                                   _mm_setzero_si128());
        };
        const int in = _mm_movemask_epi8(_mm_packs_epi16(inside(pixels), inside(pixels + 8)));
        return ~static_cast<unsigned>(in) & 0xFFFFu;
    }

    // Unsigned maximum: the saturating difference a - b added back to b.
    static void maxOfPairs(const uint16_t* a, const uint16_t* b, uint16_t* out, int count)
    {
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_adds_epu16(_mm_subs_epu16(va, vb), vb));
        }
        PlainLoops::maxOfPairs(a + i, b + i, out + i, count - i);
    }

    // Eight pixels per vector: the inverted and the plain luminance
    // interleaved.
    static void pixelExtents(const uint16_t* luma, int count, uint16_t* extents)
    {
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + i));
            const __m128i inverted = _mm_xor_si128(l, _mm_set1_epi16(-1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(extents + 2 * i), _mm_unpacklo_epi16(inverted, l));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(extents + 2 * i + 8), _mm_unpackhi_epi16(inverted, l));
        }
        PlainLoops::pixelExtents(luma + i, count - i, extents + 2 * i);
    }

    // Four pixels' extents per vector: each pixel's pair is one 32-bit lane,
    // a running maximum within the vector in two shifted steps, carried from
    // vector to vector by its last (heads) or first (tails) lane.
    static void blockExtents(const uint16_t* pixels, int count, uint16_t* heads, uint16_t* tails)
    {
        auto max16 = [](__m128i a, __m128i b) { return _mm_adds_epu16(_mm_subs_epu16(a, b), b); };
        auto extents = [&](int i) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 2 * i)); };
        __m128i carry = _mm_setzero_si128();
        for (int i = 0; i < count; i += 4) {
            __m128i v = extents(i);
            v = max16(v, _mm_slli_si128(v, 4));
            v = max16(max16(v, _mm_slli_si128(v, 8)), carry);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(heads + 2 * i), v);
            carry = _mm_shuffle_epi32(v, 0xFF);
        }
        carry = _mm_setzero_si128();
        for (int i = (count - 1) / 4 * 4; i >= 0; i -= 4) {
            // Pixels past the last count for nothing.
            const __m128i valid = _mm_cmpgt_epi32(_mm_set1_epi32(count - i), _mm_setr_epi32(0, 1, 2, 3));
            __m128i v = _mm_and_si128(extents(i), valid);
            v = max16(v, _mm_srli_si128(v, 4));
            v = max16(max16(v, _mm_srli_si128(v, 8)), carry);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(tails + 2 * i), v);
            carry = _mm_shuffle_epi32(v, 0x00);
        }
    }

    // Four spreads per vector, each extent and value a 32-bit lane:
    // 65535 - lowest >= value - T and highest <= value + T, rearranged so
    // that every term stays positive.
    static void runsWithin(const uint16_t* tails, const uint16_t* heads, const uint16_t* values, int count,
                           int32_t tolerance, uint8_t* full)
    {
        const __m128i lowEdge = _mm_set1_epi32(65536 + tolerance);
        const __m128i highEdge = _mm_set1_epi32(tolerance + 1);
        const __m128i lowHalf = _mm_set1_epi32(0xFFFF);
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tails + 2 * i));
            const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(heads + 2 * i));
            const __m128i e = _mm_adds_epu16(_mm_subs_epu16(t, h), h);
            const __m128i v =
                _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + i)), _mm_setzero_si128());
            const __m128i lowFits = _mm_cmplt_epi32(_mm_add_epi32(_mm_and_si128(e, lowHalf), v), lowEdge);
            const __m128i highFits = _mm_cmplt_epi32(_mm_srli_epi32(e, 16), _mm_add_epi32(v, highEdge));
            const int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(lowFits, highFits)));
            std::memcpy(full + i, &kFlagBytes[mask], 4);
        }
        PlainLoops::runsWithin(tails + 2 * i, heads + 2 * i, values + i, count - i, tolerance, full + i);
    }
};
#else
using VectorLoops = PlainLoops;
#endif

// The luminance of one line prepared for finding where spreads stop: a
// padded copy; the luminance extents of the line cut into blocks as long as
// the longest run, from each block's start up to each pixel and from each
// pixel to its block's end, so that any run lies within two of them; and a
// sparse range table, whose level j holds the luminance extent of the 2^j
// pixels starting at each position. Extents are kept as 65535 - the lowest
// luminance and the highest, so that two of them merge with max.
template <class Loops>
class LineIndex {
public:
    LineIndex(SpreadScratch& scratch, const uint16_t* luma, int length, int longestRun)
        : luma_(scratch.paddedLuma.data() + kGuard),
          blockHeads_(scratch.blockHeads.data()),
          blockTails_(scratch.blockTails.data()),
          data_(scratch.extents.data()),
          stride_(length),
          top_(topLevel(length, longestRun))
    {
        std::copy(luma, luma + length, scratch.paddedLuma.data() + kGuard);
        Loops::pixelExtents(luma, length, data_);
        buildBlocks(length, std::max(longestRun, 1));
        // Short reaches need the scan only.
        if (top_ < kScanLevel)
            return;
        // Both halves of an extent merge with max, so a level is one run of
        // maxima over the level below.
        for (int level = 1; level <= top_; ++level) {
            const uint16_t* below = data_ + 2 * static_cast<std::size_t>(level - 1) * stride_;
            uint16_t* here = data_ + 2 * static_cast<std::size_t>(level) * stride_;
            const int half = 1 << (level - 1);
            Loops::maxOfPairs(below, below + 2 * half, here, 2 * (length - 2 * half + 1));
        }
    }

    // The first pixel from `start` in direction Dir (+1 or -1) and before
    // `end` whose luminance lies outside [low, high], or `end` when there is
    // none. Most spreads stop within 16 pixels, which one scan finds; a
    // longer run is measured in blocks of 16, 32, 64, ... pixels while they
    // lie within the band, then narrowed down block size by block size, so
    // the cost follows the logarithm of the run, not the reach.
    template <int Dir>
    int firstOutside(int start, int end, int32_t low, int32_t high) const
    {
        int pos = start;
        const int near = scan<Dir>(pos, end, low, high);
        if (near != pos + Dir * kScanPixels)
            return near;
        pos = near;
        int level = kScanLevel;
        while (level <= top_ && fits<Dir>(pos, end, level) && within(level, blockStart<Dir>(pos, level), low, high)) {
            pos += Dir << level;
            ++level;
        }
        while (--level >= kScanLevel) {
            if (fits<Dir>(pos, end, level) && within(level, blockStart<Dir>(pos, level), low, high))
                pos += Dir << level;
        }
        return scan<Dir>(pos, end, low, high);
    }

    // True when every pixel of first..last (more than 16 pixels, no more
    // than the longest run) lies in [low, high]: two blocks of one level
    // that together cover the range.
    bool rangeWithin(int first, int last, int32_t low, int32_t high) const
    {
        const int level = floorLog2(last - first + 1);
        return within(level, first, low, high) && within(level, last - (1 << level) + 1, low, high);
    }

    // True when every pixel of first..last (no more than the longest run;
    // none when first > last) lies in [low, high]. Exact when the run
    // crosses a block border or fills its block; a run inside one block is
    // judged by the rest of its block too, so it may answer false wrongly,
    // never true.
    bool runWithin(int first, int last, int32_t low, int32_t high) const
    {
        if (first > last)
            return true;
        const uint16_t* tail = blockTails_ + 2 * static_cast<std::size_t>(first);
        const uint16_t* head = blockHeads_ + 2 * static_cast<std::size_t>(last);
        return 65535 - std::max(tail[0], head[0]) >= low && std::max(tail[1], head[1]) <= high;
    }

    // full[x] = 1 when the spread from every pixel x in direction Dir,
    // at most `reach` pixels long, lies within `tolerance` of values[x]
    // all along (no stop), else 0. A 1 is always right; a 0 may be wrong
    // (as runWithin's false), which leaves that spread to the search.
    template <int Dir>
    void markRunsWithin(const uint16_t* values, int reach, int32_t tolerance, uint8_t* full) const
    {
        const int n = static_cast<int>(stride_);
        if (reach == 0) {
            std::fill(full, full + n, uint8_t{1});
            return;
        }
        // Spreads of the full reach: forward from 0 .. n-reach, backward
        // from reach .. n-1; the others are cut short by the line's end.
        const int first = Dir > 0 ? 0 : reach;
        const int count = std::max(n - reach + (Dir > 0 ? 1 : 0), 0);
        const int runStart = Dir > 0 ? first : first - reach;
        // None when the reach is longer than the line: no pointer is then
        // formed past its end.
        if (count > 0)
            Loops::runsWithin(blockTails_ + 2 * static_cast<std::size_t>(runStart),
                              blockHeads_ + 2 * static_cast<std::size_t>(runStart + reach - 1), values + first,
                              count, tolerance, full + first);
        const int shortFirst = Dir > 0 ? first + count : 0;
        const int shortEnd = Dir > 0 ? n : std::min(reach, n);
        for (int x = shortFirst; x < shortEnd; ++x) {
            const int32_t value = static_cast<int32_t>(values[x]);
            full[x] = Dir > 0 ? runWithin(x, n - 1, value - tolerance, value + tolerance)
                              : runWithin(0, x - 1, value - tolerance, value + tolerance);
        }
    }

    // Luminance of pixel i, -kGuard <= i < length + kGuard.
    uint16_t lumaAt(int i) const { return luma_[i]; }

private:
    // Blocks of a whole number of 4 pixels, so that vectors of 4 extents
    // never straddle a block border; still no shorter than the longest run.
    void buildBlocks(int length, int longestRun)
    {
        const int block = (longestRun + 3) / 4 * 4;
        for (int first = 0; first < length; first += block)
            Loops::blockExtents(data_ + 2 * first, std::min(block, length - first), blockHeads_ + 2 * first,
                                blockTails_ + 2 * first);
    }

    // The first pixel outside [low, high] among the 16 from `pos` in
    // direction Dir, or `end` when that comes first, or pos + 16 Dir.
    template <int Dir>
    int scan(int pos, int end, int32_t low, int32_t high) const
    {
        // The band always overlaps 0..65535 (low <= 65535, high >= 0).
        const auto lo = static_cast<uint16_t>(std::max(low, 0));
        const auto hi = static_cast<uint16_t>(std::min(high, 65535));
        const int remaining = std::min(Dir * (end - pos), kScanPixels);
        if constexpr (Dir > 0) {
            // Pixel pos + i is bit i; `end` is marked when it is that near.
            const unsigned mask = Loops::outsideMask(luma_ + pos, lo, hi) | (1u << remaining);
            return pos + std::countr_zero(mask);
        } else {
            // Pixel pos - 15 + i is bit i + 1; `end` is marked when it is that near.
            const unsigned mask = (Loops::outsideMask(luma_ + pos - (kScanPixels - 1), lo, hi) << 1) |
                                  (1u << (kScanPixels - remaining));
            return pos - kScanPixels + (std::bit_width(mask) - 1);
        }
    }

    // Whether the block of 2^level pixels from `pos` in direction Dir ends
    // before `end`, and where the block's lowest position is.
    template <int Dir>
    static bool fits(int pos, int end, int level)
    {
        return Dir * (end - pos) >= (1 << level);
    }
    template <int Dir>
    static int blockStart(int pos, int level)
    {
        return Dir > 0 ? pos : pos - (1 << level) + 1;
    }

    // True when every pixel of the 2^level pixels from `start` lies in [low, high].
    bool within(int level, int start, int32_t low, int32_t high) const
    {
        const uint16_t* e = data_ + 2 * (static_cast<std::size_t>(level) * stride_ + start);
        return 65535 - e[0] >= low && e[1] <= high;
    }

    const uint16_t* luma_;
    uint16_t* blockHeads_;
    uint16_t* blockTails_;
    uint16_t* data_;
    std::size_t stride_;
    int top_;
};

}  // namespace

bool SpreadScratch::reserve(int length, int maxReach)
{
    const std::size_t levels = static_cast<std::size_t>(topLevel(length, maxReach)) + 1;
    return allocationSucceeds([&] {
        // Room for the block extents' reads past the line's last pixel.
        extents.resize(2 * levels * length + 8);
        // Room for the extents written past the line's last pixel.
        blockHeads.resize(2 * static_cast<std::size_t>(length) + 8);
        blockTails.resize(2 * static_cast<std::size_t>(length) + 8);
        paddedLuma.assign(static_cast<std::size_t>(length) + 2 * kGuard, 0);
        steps.assign(static_cast<std::size_t>(length) + 3, 0);
        // Forward and backward flags, each with room for a clear flag
        // before its first spread.
        fullRuns.resize(2 * (static_cast<std::size_t>(length) + 1));
        // Read up to a reach before the line and a reach and a vector of 32 past it.
        shortValues.resize(static_cast<std::size_t>(length) + 2 * kShortReachAvx512 + 32);
        // The AVX2 search reads a block's tail extents from its second
        // pixel on, a vector that ends one pixel past the block: past the
        // last plane for the line's last block.
        blockLine.resize(kBlockLinePlanes * blockLinePixels(length) + kSearchBlock);
    });
}

namespace {

// Where the spread from each pixel stops, the pixels taken in the order the
// spreads run: the previous pixel's spread usually stops where this one
// does (at the same edge, or at the end of a flat run), so when everything
// up to that stop lies within this pixel's band too, the search starts
// there. Spreads that `full` marks as running their whole reach are not
// searched (the caller records them); `stopped(x, end, stop)` is called
// for every other pixel x.
template <int Dir, class Loops, class Stopped>
void findStops(const LineIndex<Loops>& index, const SpreadLine& line, int reach, int tolerance, const uint8_t* full,
               Stopped stopped)
{
    const int n = line.length;
    auto endOf = [&](int x) { return Dir > 0 ? x + std::min(reach, n - x) : x - 1 - std::min(x, reach); };
    int previous = Dir > 0 ? -1 : n;
    for (int k = 0; k < n; ++k) {
        const int x = Dir > 0 ? k : n - 1 - k;
        // Most spreads of smooth stretches run their whole reach.
        if (full[x])
            continue;
        // A whole-reach spread before this one ended at its end (the flag
        // before the first spread is clear).
        if (full[x - Dir])
            previous = endOf(x - Dir);
        const int start = Dir > 0 ? x : x - 1;
        const int end = endOf(x);
        const int32_t value = static_cast<int32_t>(line.values[x]);
        const int32_t low = value - tolerance;
        const int32_t high = value + tolerance;
        const int known = Dir > 0 ? std::min(previous, end) : std::max(previous, end);
        const bool skip = Dir * (known - start) > kScanPixels &&
                          index.rangeWithin(std::min(start, known - Dir), std::max(start, known - Dir), low, high);
        // After a skip the stop is most often the pixel skipped to itself.
        const int32_t atKnown = index.lumaAt(known);
        const bool stopsAtKnown = known == end || atKnown < low || atKnown > high;
        previous =
            skip && stopsAtKnown ? known : index.template firstOutside<Dir>(skip ? known : start, end, low, high);
        stopped(x, end, previous);
    }
}

// The runs of the spreads that meet no stop: the forward spread from x
// covers x .. x + forward - 1 (cut at the line's end), the backward one
// x - back .. x - 1 (cut at its start). Recorded as -c one past the
// forward run and +c at the start of the backward run; the +c and -c at x
// itself, where the two halves meet, are left out by every spread.
// Forward runs cut at the line's end would step at n, past what is summed.
void addWholeRuns(const uint16_t* values, const uint8_t* fullForward, const uint8_t* fullBack, int n,
                  SpreadReach reach, uint64_t* steps)
{
    auto whole = [&](const uint8_t* full, int x) { return countAndSum(values[x]) & (uint64_t{0} - full[x]); };
    for (int x = 0; x < n - reach.forward; ++x)
        steps[x + reach.forward] -= whole(fullForward, x);
    uint64_t atStart = 0;
    for (int x = 0; x < std::min(reach.back, n); ++x)
        atStart += whole(fullBack, x);
    steps[0] += atStart;
    for (int x = reach.back; x < n; ++x)
        steps[x - reach.back] += whole(fullBack, x);
}

template <class Loops>
void spreadLineWith(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    const int n = line.length;
    const LineIndex<Loops> index(scratch, line.luma, n, std::max(reach.back, reach.forward));
    // Each run of one value is recorded as two steps (spread_steps.h),
    // indices -1 .. n+1 (a spread that meets no stop ends at -1 or n).
    // The value of pixel x covers the pixels strictly between its two
    // stops; its forward run would start with +c at x and its backward run
    // end with -c there, so neither is written.
    uint64_t* steps = scratch.steps.data() + 1;
    auto contribution = [&](int x) { return countAndSum(line.values[x]); };
    const StopPull pulled(tolerance);
    // A stop that is not the end of its spread receives the pulled
    // luminance; nothing otherwise.
    auto stopValue = [&](int x, int end, int stop) {
        const int32_t value = static_cast<int32_t>(line.values[x]);
        return stop != end ? countAndSum(static_cast<uint32_t>(pulled(index.lumaAt(stop), value))) : 0;
    };
    // Each direction's flags with a clear one before its first spread.
    uint8_t* fullForward = scratch.fullRuns.data() + 1;
    uint8_t* fullBack = scratch.fullRuns.data() + scratch.fullRuns.size() / 2;
    fullForward[-1] = fullBack[n] = 0;
    index.template markRunsWithin<1>(line.values, reach.forward, tolerance, fullForward);
    index.template markRunsWithin<-1>(line.values, reach.back, tolerance, fullBack);
    addWholeRuns(line.values, fullForward, fullBack, n, reach, steps);
    findStops<1>(index, line, reach.forward, tolerance, fullForward, [&](int x, int end, int stop) {
        const uint64_t after = stopValue(x, end, stop);
        steps[stop] += after - contribution(x);
        steps[stop + 1] -= after;
    });
    findStops<-1>(index, line, reach.back, tolerance, fullBack, [&](int x, int end, int stop) {
        const uint64_t before = stopValue(x, end, stop);
        steps[stop] += before;
        steps[stop + 1] += contribution(x) - before;
    });
    pairsFromSteps(steps, n, pairs);
}

}  // namespace

void spreadLine(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    spreadLineWith<VectorLoops>(line, reach, tolerance, scratch, pairs);
}

LineSpreadFn fastLineSpreading()
{
    return pickKernel(spreadLine, QV_AVX2_TWIN(spreadLineAvx2), QV_AVX512_TWIN(spreadLineAvx512));
}

bool StripScratch::reserve(int rows)
{
    const std::size_t n = static_cast<std::size_t>(rows) * kStripWidth;
    return allocationSucceeds([&] {
        values.resize(n);
        received.resize(n);
    });
}

bool stripSpreadingTakes(SpreadReach reach, int tolerance)
{
    const int longest = avx512Enabled() ? kShortReachAvx512 : kShortReach;
    return std::max(reach.back, reach.forward) <= longest && tolerance <= kShortTolerance;
}

StripSpreadFn fastStripSpreading()
{
    return pickKernel<StripSpreadFn>(nullptr, QV_AVX2_TWIN(spreadStripAvx2), QV_AVX512_TWIN(spreadStripAvx512));
}

void spreadLinePlain(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch,
                     uint32_t* pairs)
{
    spreadLineWith<PlainLoops>(line, reach, tolerance, scratch, pairs);
}

void spreadLineLiteral(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch&, uint32_t* pairs)
{
    const int n = line.length;
    std::fill(pairs, pairs + 2 * static_cast<std::size_t>(n), 0u);
    for (int x = 0; x < n; ++x) {
        const int32_t m = static_cast<int32_t>(line.values[x]);
        auto spread = [&](int q, int steps, int dir) {
            for (; steps > 0; --steps, q += dir) {
                const int32_t luma = line.luma[q];
                pairs[2 * q + 1] += 1;
                if (luma > m + tolerance) {
                    pairs[2 * q] += (3 * luma - 2 * tolerance) / 3;
                    return;
                }
                if (luma < m - tolerance) {
                    pairs[2 * q] += (3 * luma + 2 * tolerance) / 3;
                    return;
                }
                pairs[2 * q] += m;
            }
        };
        spread(x - 1, std::min(x, reach.back), -1);
        spread(x, std::min(reach.forward, n - x), 1);
    }
}

}  // namespace qv
