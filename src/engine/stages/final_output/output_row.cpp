#include "engine/stages/final_output/output_row.h"

#include "engine/kernels/simd.h"

namespace qv {

namespace {

// Truncated toward zero, then clamped (never wrapped) into 16 bits.
inline uint16_t toChannel(float value)
{
    const int v = static_cast<int>(value);
    return static_cast<uint16_t>(v > 65535 ? 65535 : v <= 0 ? 0 : v);
}

}  // namespace

void convertOutputRowPlain(const OutputRow& row, const float* gammaTable, float saturation, ChannelHistograms& counts)
{
    for (int x = 0; x < row.width; ++x) {
        const float y = gammaTable[row.luma[x]];
        const float v = saturation * static_cast<float>(row.chroma[2 * x + 1]) * 1.23f;
        const float u = saturation * static_cast<float>(row.chroma[2 * x]) * 0.872f;
        const uint16_t red = toChannel(y + 1.1398374f * v);
        const uint16_t green = toChannel(y - 0.3946517f * u - 0.5805986f * v);
        const uint16_t blue = toChannel(y + 2.03211f * u);
        row.rgb48[3 * x] = red;
        row.rgb48[3 * x + 1] = green;
        row.rgb48[3 * x + 2] = blue;
        // value * (256 / 65536) is exact in single precision: the high byte.
        const uint8_t r8 = static_cast<uint8_t>(red >> 8);
        const uint8_t g8 = static_cast<uint8_t>(green >> 8);
        const uint8_t b8 = static_cast<uint8_t>(blue >> 8);
        row.bgr24[3 * x] = b8;
        row.bgr24[3 * x + 1] = g8;
        row.bgr24[3 * x + 2] = r8;
        ++counts.red[r8];
        ++counts.green[g8];
        ++counts.blue[b8];
    }
    counts.pixels += static_cast<uint32_t>(row.width);
}

OutputRowConverter outputRowConverter()
{
    return pickKernel(convertOutputRowPlain, QV_AVX2_TWIN(convertOutputRowAvx2));
}

}  // namespace qv
