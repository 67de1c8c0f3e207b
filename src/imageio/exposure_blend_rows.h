#pragma once

// Internal to the exposure blending: its row loops, written once and
// compiled twice, plain (exposure_blend.cpp) and for AVX2
// (exposure_blend_avx2.cpp), which gives the same bits.

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "imageio/exposure_blend.h"

namespace qv::blend_rows {

// Rows are worked in chunks whose per-value sums stay in the L1 cache; within
// a chunk the exposures are visited one after another, so every value still
// sums its exposures in the order 0 .. N-1 and the inner loops are plain
// element-wise arithmetic the compiler can vectorise without reordering.
// Full chunks have a length fixed at compile time (so they vectorise at -O2
// as well); the rest of a row goes through the same code with a run-time length.
constexpr int kChunkPixels = 128;
constexpr int kChunkValues = 3 * kChunkPixels;
using FullPixels = std::integral_constant<int, kChunkPixels>;
using FullValues = std::integral_constant<int, kChunkValues>;

// Truncation of a value known to lie in 0 .. 2^31 - 1: every blended value
// is at most 65535 * 32767 / 2 times 1.9 (the largest gain of the inverse
// colour transform), well inside. The int32 route vectorises on AVX2.
inline uint32_t truncateSmall(double v)
{
    return static_cast<uint32_t>(static_cast<int32_t>(std::min(v, 2147483647.0)));
}

// Stored accumulator values: truncated toward zero, nothing below 0.
inline uint32_t truncateNonNegative(double v) { return truncateSmall(std::max(v, 0.0)); }

template <class Count>
[[gnu::always_inline]] inline void levelsChunk(const ExposureBlender& b, const uint16_t* const* rows, int first,
                                               Count n, uint32_t* __restrict acc)
{
    double weightSum[kChunkValues];
    double weighted[kChunkValues];
    std::fill_n(weightSum, n, 0.0);
    std::fill_n(weighted, n, 0.0);
    for (int k = 0; k < b.count; ++k) {
        const uint16_t* __restrict in = rows[k] + first;
        const double* map = b.maps[k].data();
        for (int j = 0; j < n; ++j) {
            const uint16_t v = in[j];
            const double w = map[v >> 8];
            weightSum[j] += w;
            weighted[j] += w * v;
        }
    }
    const uint16_t* __restrict darkest = rows[0] + first;
    for (int j = 0; j < n; ++j) {
        const double a = weighted[j] + darkest[j] * weightSum[j];
        const double t = 2.0 * weightSum[j];
        // t = 0 only where every weight is 0, and then a = 0 too: dividing
        // by 1 instead gives the value 0 without a branch in the loop.
        acc[first + j] = truncateSmall(a * b.scale / (t + (t == 0.0)));
    }
}

template <class Count>
[[gnu::always_inline]] inline uint32_t colourChunk(const ExposureBlender& b, const uint16_t* const* rows, int first,
                                                   Count n, uint32_t* __restrict acc)
{
    double sumU[kChunkPixels];
    double sumV[kChunkPixels];
    double sumQ[kChunkPixels];
    std::fill_n(sumU, n, 0.0);
    std::fill_n(sumV, n, 0.0);
    std::fill_n(sumQ, n, 0.0);
    for (int k = 0; k < b.count; ++k) {
        const uint16_t* __restrict in = rows[k] + 3 * first;
        const double share = b.count - k;
        // The brightest exposure's weight is divided by 4; multiplying by
        // 0.25 gives the same bits (and by 1.0 for the others changes nothing).
        const double quarter = k == b.count - 1 ? 0.25 : 1.0;
        for (int p = 0; p < n; ++p) {
            const double B = in[3 * p], G = in[3 * p + 1], R = in[3 * p + 2];
            const double Y = 0.299 * R + 0.587 * G + 0.114 * B;
            const double U = 0.436 * B - 0.28886 * G - 0.14713 * R;
            const double V = 0.615 * R - 0.51499 * G - 0.10001 * B;
            const double q = share * Y * quarter;
            sumU[p] += U * q;
            sumV[p] += V * q;
            sumQ[p] += q;
        }
    }
    uint32_t largest = 0;
    uint32_t* __restrict out = acc + 3 * first;
    for (int p = 0; p < n; ++p) {
        const double bl = out[3 * p], g = out[3 * p + 1], r = out[3 * p + 2];
        const double Y = 0.114 * bl + 0.299 * r + 0.587 * g;
        // sumQ = 0 only where every q is 0, and then the sums are 0 too:
        // dividing them by 1 leaves them as they are, without a branch.
        const double divisor = sumQ[p] + (sumQ[p] == 0.0);
        const double su = sumU[p] * b.scale / divisor;
        const double sv = sumV[p] * b.scale / divisor;
        const double U = (0.436 * bl - 0.28886 * g - 0.14713 * r + su) / 2;
        const double V = (0.615 * r - (0.10001 * bl + 0.51499 * g) + sv) / 2;
        const uint32_t red = truncateNonNegative(Y + 1.1398373983739838 * V);
        const uint32_t green = truncateNonNegative(Y - 0.39465170435897035 * U - 0.5805986066674976 * V);
        const uint32_t blue = truncateNonNegative(Y + 2.032110091743119 * U);
        out[3 * p] = blue;
        out[3 * p + 1] = green;
        out[3 * p + 2] = red;
        largest = std::max(largest, std::max(blue, std::max(green, red)));
    }
    return largest;
}

[[gnu::always_inline]] inline void levelsRow(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    const int values = 3 * b.width;
    int first = 0;
    for (; first + kChunkValues <= values; first += kChunkValues)
        levelsChunk(b, rows, first, FullValues{}, acc);
    if (first < values)
        levelsChunk(b, rows, first, values - first, acc);
}

[[gnu::always_inline]] inline uint32_t colourRow(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    uint32_t largest = 0;
    int first = 0;
    for (; first + kChunkPixels <= b.width; first += kChunkPixels)
        largest = std::max(largest, colourChunk(b, rows, first, FullPixels{}, acc));
    if (first < b.width)
        largest = std::max(largest, colourChunk(b, rows, first, b.width - first, acc));
    return largest;
}

[[gnu::always_inline]] inline void scaleRow(const uint32_t* __restrict acc, int values, double factor,
                                            uint16_t* __restrict out16, uint8_t* __restrict out8)
{
    for (int i = 0; i < values; ++i) {
        const double v = acc[i] * factor;
        out16[i] = static_cast<uint16_t>(static_cast<int32_t>(v));
        out8[i] = static_cast<uint8_t>(static_cast<int32_t>(v / 256));
    }
}

// The AVX2 builds of the three loops.
void levelsAvx2(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc);
uint32_t colourAvx2(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc);
void scaleAvx2(const uint32_t* acc, int values, double factor, uint16_t* out16, uint8_t* out8);

}  // namespace qv::blend_rows
