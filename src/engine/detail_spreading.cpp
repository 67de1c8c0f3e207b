#include "engine/detail_spreading.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <new>

namespace qv {

namespace {

int floorLog2(int v) { return std::bit_width(static_cast<unsigned>(v)) - 1; }

// Highest level of the range table for lines of `length` pixels and runs of
// up to `longestRun` pixels.
int topLevel(int length, int longestRun) { return floorLog2(std::max(1, std::min(length, longestRun))); }

// What a stopping pixel receives: its own luminance pulled 2/3 of the
// tolerance towards the spread value, so it stays within the tolerance of
// its luminance.
int32_t pulledLuma(int32_t luma, int32_t value, int32_t tolerance)
{
    return luma > value ? (3 * luma - 2 * tolerance) / 3 : (3 * luma + 2 * tolerance) / 3;
}

// Sparse range table: level j holds the luminance extent of the 2^j pixels
// starting at each position, so any block of a power-of-two size is tested
// against a band with one look-up.
class RangeTable {
public:
    RangeTable(LumaExtent* storage, const uint16_t* luma, int length, int top)
        : data_(storage), stride_(length), top_(top)
    {
        for (int i = 0; i < length; ++i)
            data_[i] = {luma[i], luma[i]};
        for (int level = 1; level <= top; ++level) {
            const LumaExtent* below = data_ + static_cast<std::size_t>(level - 1) * stride_;
            LumaExtent* here = data_ + static_cast<std::size_t>(level) * stride_;
            const int half = 1 << (level - 1);
            for (int i = 0; i + 2 * half <= length; ++i)
                here[i] = {std::min(below[i].low, below[i + half].low), std::max(below[i].high, below[i + half].high)};
        }
    }

    int top() const { return top_; }

    // True when every pixel of the 2^level pixels from `start` lies in [low, high].
    bool within(int level, int start, int32_t low, int32_t high) const
    {
        const LumaExtent& e = data_[static_cast<std::size_t>(level) * stride_ + start];
        return e.low >= low && e.high <= high;
    }

private:
    LumaExtent* data_;
    std::size_t stride_;
    int top_;
};

// The first pixel from `start` in direction `dir` (+1 or -1) and before
// `end` whose luminance lies outside [low, high], or `end` when there is none.
// Tests the whole window first (two blocks), then gallops: blocks of growing
// size while they fit, then of shrinking size to pin the stop down.
int firstOutside(const RangeTable& table, int start, int end, int dir, int32_t low, int32_t high)
{
    const int span = dir * (end - start);
    if (span <= 0)
        return start;
    // The block of 2^level pixels from pos on, in direction dir.
    auto blockStart = [dir](int pos, int size) { return dir > 0 ? pos : pos - size + 1; };
    {
        const int level = floorLog2(span);
        const int size = 1 << level;
        if (table.within(level, blockStart(start, size), low, high) &&
            table.within(level, blockStart(end - dir * size, size), low, high))
            return end;
    }
    int pos = start;
    auto fits = [&](int level) {
        const int size = 1 << level;
        return dir * (end - pos) >= size && table.within(level, blockStart(pos, size), low, high);
    };
    int level = 0;
    while (fits(level)) {
        pos += dir * (1 << level);
        level = std::min(level + 1, table.top());
    }
    while (level-- > 0) {
        if (fits(level))
            pos += dir * (1 << level);
    }
    return pos;
}

}  // namespace

bool SpreadScratch::reserve(int length, int maxReach)
{
    const std::size_t levels = static_cast<std::size_t>(topLevel(length, maxReach)) + 1;
    try {
        extents.resize(levels * length);
        sumSteps.assign(static_cast<std::size_t>(length) + 1, 0);
        countSteps.assign(static_cast<std::size_t>(length) + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void spreadLine(const SpreadLine& line, SpreadReach reach, int tolerance, SpreadScratch& scratch, uint32_t* pairs)
{
    const int n = line.length;
    const RangeTable table(scratch.extents.data(), line.luma, n, topLevel(n, std::max(reach.back, reach.forward)));
    // Every value goes into the differences as +v at the start of its run and
    // -v one past its end (unsigned: wrap-around cancels in the running sums).
    uint32_t* sums = scratch.sumSteps.data();
    uint32_t* counts = scratch.countSteps.data();
    auto add = [&](int from, int to, uint32_t value) {
        sums[from] += value;
        sums[to] -= value;
        counts[from] += 1;
        counts[to] -= 1;
    };
    for (int x = 0; x < n; ++x) {
        const int32_t value = static_cast<int32_t>(line.values[x]);
        const int32_t low = value - tolerance;
        const int32_t high = value + tolerance;
        const int forwardEnd = x + std::min(reach.forward, n - x);
        const int backEnd = x - 1 - std::min(x, reach.back);
        const int stopAfter = firstOutside(table, x, forwardEnd, 1, low, high);
        const int stopBefore = firstOutside(table, x - 1, backEnd, -1, low, high);
        // Both spreads together cover the pixels strictly between the stops.
        add(stopBefore + 1, stopAfter, static_cast<uint32_t>(value));
        if (stopAfter != forwardEnd)
            add(stopAfter, stopAfter + 1, static_cast<uint32_t>(pulledLuma(line.luma[stopAfter], value, tolerance)));
        if (stopBefore != backEnd)
            add(stopBefore, stopBefore + 1,
                static_cast<uint32_t>(pulledLuma(line.luma[stopBefore], value, tolerance)));
    }
    uint32_t sum = 0;
    uint32_t count = 0;
    for (int x = 0; x < n; ++x) {
        sum += sums[x];
        count += counts[x];
        sums[x] = counts[x] = 0;
        pairs[2 * x] = sum;
        pairs[2 * x + 1] = count;
    }
    sums[n] = counts[n] = 0;
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
