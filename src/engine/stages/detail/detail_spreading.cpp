#include "engine/stages/detail/detail_spreading.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#ifdef QV_X86_SIMD
#include <emmintrin.h>
#endif

#include "engine/kernels/simd.h"
#include "engine/pipeline/allocation.h"

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

// The two loops that run on vectors where the processor has them, each
// with a plain twin that gives the same bits.
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
};

#ifdef QV_X86_SIMD
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
};
#else
using VectorLoops = PlainLoops;
#endif

// The luminance of one line prepared for finding where spreads stop: a
// padded copy and a sparse range table, whose level j holds the luminance
// extent of the 2^j pixels starting at each position.
template <class Loops>
class LineIndex {
public:
    LineIndex(SpreadScratch& scratch, const uint16_t* luma, int length, int longestRun)
        : luma_(scratch.paddedLuma.data() + kGuard),
          data_(scratch.extents.data()),
          stride_(length),
          top_(topLevel(length, longestRun))
    {
        std::copy(luma, luma + length, scratch.paddedLuma.data() + kGuard);
        // Short reaches need the scan only.
        if (top_ < kScanLevel)
            return;
        for (int i = 0; i < length; ++i) {
            data_[2 * i] = static_cast<uint16_t>(65535 - luma[i]);
            data_[2 * i + 1] = luma[i];
        }
        // Both halves of an extent merge with max, so a level is one run of
        // maxima over the level below.
        for (int level = 1; level <= top_; ++level) {
            const uint16_t* below = data_ + 2 * static_cast<std::size_t>(level - 1) * stride_;
            uint16_t* here = data_ + 2 * static_cast<std::size_t>(level) * stride_;
            const int half = 1 << (level - 1);
            Loops::maxOfPairs(below, below + 2 * half, here, 2 * (length - 2 * half + 1));
        }
    }

    // The first pixel from `start` in direction `dir` (+1 or -1) and before
    // `end` whose luminance lies outside [low, high], or `end` when there is
    // none. Binary lifting from the largest block down to blocks of 16, each
    // block taken when it fits before `end` and lies within the band, then one
    // scan of the next 16 pixels. The top level covers every run a spread can
    // make, and the fixed sequence of steps compiles to conditional moves
    // rather than unpredictable branches.
    int firstOutside(int start, int end, int dir, int32_t low, int32_t high) const
    {
        int pos = start;
        for (int level = top_; level >= kScanLevel; --level) {
            const int size = 1 << level;
            const bool fits = dir * (end - pos) >= size;
            // An unfitting block is probed at the line's start instead, which
            // is always in the table, and then not taken.
            const int probe = fits ? (dir > 0 ? pos : pos - size + 1) : 0;
            const bool take = fits & within(level, probe, low, high);
            pos += take ? dir * size : 0;
        }
        // Now the stop lies within 16 pixels of pos, or `end` does. The band
        // always overlaps 0..65535 (low <= 65535, high >= 0).
        const auto lo = static_cast<uint16_t>(std::max(low, 0));
        const auto hi = static_cast<uint16_t>(std::min(high, 65535));
        const int remaining = std::min(dir * (end - pos), kScanPixels);
        if (dir > 0) {
            // Pixel pos + i is bit i; `end` is marked when it is that near.
            const unsigned mask = Loops::outsideMask(luma_ + pos, lo, hi) | (1u << remaining);
            return pos + std::countr_zero(mask);
        }
        // Pixel pos - 15 + i is bit i + 1; `end` is marked when it is that near.
        const unsigned mask = (Loops::outsideMask(luma_ + pos - (kScanPixels - 1), lo, hi) << 1) |
                              (1u << (kScanPixels - remaining));
        return pos - kScanPixels + (std::bit_width(mask) - 1);
    }

    // Luminance of pixel i, -kGuard <= i < length + kGuard.
    uint16_t lumaAt(int i) const { return luma_[i]; }

private:
    // True when every pixel of the 2^level pixels from `start` lies in [low, high].
    bool within(int level, int start, int32_t low, int32_t high) const
    {
        const uint16_t* e = data_ + 2 * (static_cast<std::size_t>(level) * stride_ + start);
        return 65535 - e[0] >= low && e[1] <= high;
    }

    const uint16_t* luma_;
    uint16_t* data_;
    std::size_t stride_;
    int top_;
};

}  // namespace

bool SpreadScratch::reserve(int length, int maxReach)
{
    const std::size_t levels = static_cast<std::size_t>(topLevel(length, maxReach)) + 1;
    return allocationSucceeds([&] {
        extents.resize(2 * levels * length);
        paddedLuma.assign(static_cast<std::size_t>(length) + 2 * kGuard, 0);
        steps.assign(static_cast<std::size_t>(length) + 3, 0);
        shortValues.resize(length);
        shortAlive.resize(length);
        shortCounts.resize(length);
        shortSums.resize(length);
    });
}

namespace {

template <class Loops>
void spreadLineWith(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    const int n = line.length;
    const LineIndex<Loops> index(scratch, line.luma, n, std::max(reach.back, reach.forward));
    // Each run of one value is recorded as two steps, +c at its start and -c
    // one past its end, with c = 2^32 + value: the running total of the
    // steps is then count * 2^32 + sum at every pixel, because no sum reaches
    // 2^32. Indices -1 .. n+1 (a spread that meets no stop ends at -1 or n).
    uint64_t* steps = scratch.steps.data() + 1;
    auto contribution = [](int32_t value) { return (uint64_t{1} << 32) + static_cast<uint32_t>(value); };
    const StopPull pulled(tolerance);
    for (int x = 0; x < n; ++x) {
        const int32_t value = static_cast<int32_t>(line.values[x]);
        const int32_t low = value - tolerance;
        const int32_t high = value + tolerance;
        const int forwardEnd = x + std::min(reach.forward, n - x);
        const int backEnd = x - 1 - std::min(x, reach.back);
        const int stopAfter = index.firstOutside(x, forwardEnd, 1, low, high);
        const int stopBefore = index.firstOutside(x - 1, backEnd, -1, low, high);
        // The value covers the pixels strictly between the stops; a stop
        // that is not the end of its spread receives the pulled luminance.
        const uint64_t run = contribution(value);
        const uint64_t after =
            stopAfter != forwardEnd ? contribution(pulled(index.lumaAt(stopAfter), value)) : 0;
        const uint64_t before =
            stopBefore != backEnd ? contribution(pulled(index.lumaAt(stopBefore), value)) : 0;
        steps[stopBefore] += before;
        steps[stopBefore + 1] += run - before;
        steps[stopAfter] += after - run;
        steps[stopAfter + 1] -= after;
    }
    uint64_t total = 0;
    for (int x = 0; x < n; ++x) {
        total += steps[x];
        steps[x] = 0;
        pairs[2 * x] = static_cast<uint32_t>(total);
        pairs[2 * x + 1] = static_cast<uint32_t>(total >> 32);
    }
    steps[-1] = steps[n] = steps[n + 1] = 0;
}

}  // namespace

void spreadLine(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    spreadLineWith<VectorLoops>(line, reach, tolerance, scratch, pairs);
}

LineSpreadFn fastLineSpreading() { return pickKernel(spreadLine, QV_AVX2_TWIN(spreadLineAvx2)); }

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
