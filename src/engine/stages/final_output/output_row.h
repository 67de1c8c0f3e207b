#pragma once

#include <array>
#include <cstdint>

namespace qv {

// Per-channel counts of the 8-bit output values, and the pixels counted.
struct ChannelHistograms {
    std::array<uint32_t, 256> red{}, green{}, blue{};
    uint32_t pixels = 0;
};

// One row of the final conversion: luma through the gamma table, chroma
// (normalised U, V pairs) scaled by `saturation`, converted to RGB, clamped
// to 0..65535, stored as 48-bit R,G,B and 24-bit B,G,R, and counted.
struct OutputRow {
    const uint16_t* luma;
    const int16_t* chroma;
    uint16_t* rgb48;
    uint8_t* bgr24;
    int width;
};
using OutputRowConverter = void (*)(const OutputRow& row, const float* gammaTable, float saturation,
                                    ChannelHistograms& counts);

void convertOutputRowPlain(const OutputRow& row, const float* gammaTable, float saturation, ChannelHistograms& counts);
// The same results, eight pixels at a time (x86-64 builds; see simd.h).
void convertOutputRowAvx2(const OutputRow& row, const float* gammaTable, float saturation, ChannelHistograms& counts);

// The AVX2 converter where it may run, else the plain one; picked once per run.
OutputRowConverter outputRowConverter();

}  // namespace qv
