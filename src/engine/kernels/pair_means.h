#pragma once

#include <cstdint>

namespace qv {

// Means of (sum, count) pairs as the spreading leaves them (pairs: 2 * n
// values), in exact unsigned integer division, stored in 16 bits: a result
// above 65535 is stored as 65535 (the spreading's means are at most 65535).
// Every count must be at least 1 and below 2^31, and every mean below 2^31
// (the spreading's counts are at most 2 * reach + 2): the vector loops
// convert through signed 32-bit lanes.

// out[i] = sum / count.
void meansOfPairs(const uint32_t* pairs, uint16_t* out, int n);

// values[i] = (sum / count + values[i]) / 2.
void averageWithMeans(const uint32_t* pairs, uint16_t* values, int n);

// The same with integer division instructions; give the same bits.
void meansOfPairsPlain(const uint32_t* pairs, uint16_t* out, int n);
void averageWithMeansPlain(const uint32_t* pairs, uint16_t* values, int n);

// The loops the first two pick from: eight pairs at a time with SSE2 (part
// of every x86-64 processor), sixteen with AVX-512 where the processor has
// it; without x86 vectors, the plain ones.
void meansOfPairsSse2(const uint32_t* pairs, uint16_t* out, int n);
void averageWithMeansSse2(const uint32_t* pairs, uint16_t* values, int n);
void meansOfPairsAvx512(const uint32_t* pairs, uint16_t* out, int n);
void averageWithMeansAvx512(const uint32_t* pairs, uint16_t* values, int n);

}  // namespace qv
