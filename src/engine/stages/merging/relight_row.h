#pragma once

#include <algorithm>
#include <cstdint>

namespace qv {

// One row of the artistic colour mode: each source colour with its HSL
// lightness moved as far towards white as the processed luma moved,
// measured from the white end, then written as (U, V) chroma.
struct RelightRow {
    const uint16_t* bgr;        // the 48-bit source pixels
    const uint16_t* source;     // L, the unprocessed luminance
    const uint16_t* processed;  // Y, the processed luma
    int16_t* chroma;            // (U, V) pairs
    int width;
    int valueScale;
};
using RelightRowFn = void (*)(const RelightRow& row);

// Merged chroma: a value truncated to an integer and limited to +-32767.
template <class T>
int16_t limitChroma(T value)
{
    constexpr int kChromaLimit = 32767;
    return static_cast<int16_t>(std::clamp(static_cast<int>(value), -kChromaLimit, kChromaLimit));
}

// Pixels begin..end-1 of the row, in double precision.
void relightPixels(const RelightRow& row, int begin, int end);

void relightRowPlain(const RelightRow& row);
// The same results, four pixels at a time with the same double operations.
void relightRowAvx2(const RelightRow& row);

// The AVX2 row where it may run, else the plain one; picked once per run.
RelightRowFn relightRowFn();

}  // namespace qv
