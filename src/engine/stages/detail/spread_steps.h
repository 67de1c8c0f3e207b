#pragma once

// Internal to the spreading: how the spreads of a line are recorded. Each
// run of one value is two steps in a difference array, +c at its start and
// -c one past its end, with c = 2^32 + value; the running total of the
// steps is then count * 2^32 + sum at every pixel, because no sum reaches
// 2^32.

#include <cstdint>

namespace qv {

// The step c of a run of `value`: a count of 1 and the value, one 64-bit
// word.
inline uint64_t countAndSum(uint32_t value) { return (uint64_t{1} << 32) + value; }

// The (sum, count) pair of each of the `length` pixels from the running
// total of `steps` (indices -1 .. length + 1 in use), which are cleared
// for the next line. Vector loops do the pixels before `from` themselves
// and hand on their total there.
inline void pairsFromSteps(uint64_t* steps, int length, uint32_t* pairs, int from = 0, uint64_t total = 0)
{
    for (int x = from; x < length; ++x) {
        total += steps[x];
        steps[x] = 0;
        pairs[2 * x] = static_cast<uint32_t>(total);
        pairs[2 * x + 1] = static_cast<uint32_t>(total >> 32);
    }
    steps[-1] = steps[length] = steps[length + 1] = 0;
}

}  // namespace qv
