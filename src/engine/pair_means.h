#pragma once

#include <cstdint>

namespace qv {

// Means of (sum, count) pairs as the spreading leaves them (pairs: 2 * n
// values, every count at least 1), in exact unsigned integer division.

// out[i] = sum / count.
void meansOfPairs(const uint32_t* pairs, uint32_t* out, int n);

// values[i] = (sum / count + values[i]) / 2.
void averageWithMeans(const uint32_t* pairs, uint32_t* values, int n);

// The same with integer division instructions; give the same bits.
void meansOfPairsPlain(const uint32_t* pairs, uint32_t* out, int n);
void averageWithMeansPlain(const uint32_t* pairs, uint32_t* values, int n);

}  // namespace qv
