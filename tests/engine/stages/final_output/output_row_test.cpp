#include "engine/stages/final_output/output_row.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/stages/final_output/output_gamma.h"

namespace qv {
namespace {

struct ConvertedRow {
    std::vector<uint16_t> rgb48;
    std::vector<uint8_t> bgr24;
    ChannelHistograms counts;
};

ConvertedRow convert(OutputRowConverter converter, const std::vector<uint16_t>& luma,
                     const std::vector<int16_t>& chroma, const float* gamma, float saturation)
{
    const int width = static_cast<int>(luma.size());
    ConvertedRow out{std::vector<uint16_t>(3 * width), std::vector<uint8_t>(3 * width), {}};
    converter({luma.data(), chroma.data(), out.rgb48.data(), out.bgr24.data(), width}, gamma, saturation, out.counts);
    return out;
}

// The vector converter must match the plain one bit for bit, including the
// tail of rows whose width is not a multiple of eight and the clamping of
// extreme values at every saturation and gamma.
TEST(OutputRow, VectorPathMatchesThePlainPath)
{
    if (!avx2Enabled())
        GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> u16(0, 65535);
    std::uniform_int_distribution<int> s16(-32768, 32767);
    const uint16_t lumaEdges[] = {0, 1, 255, 256, 32767, 32768, 65279, 65280, 65534, 65535};
    const int16_t chromaEdges[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
    for (int gamma = 0; gamma <= kMaxOutputGamma; ++gamma) {
        for (int saturation = 0; saturation <= 30; saturation += 3) {
            // Short rows of every tail length and long ones for many samples.
            const int width = saturation % 2 ? 1 + (gamma * 31 + saturation * 7) % 90 : 4099;
            std::vector<uint16_t> luma(width);
            std::vector<int16_t> chroma(2 * width);
            for (int x = 0; x < width; ++x) {
                const bool edge = (x + saturation) % 3 == 0;
                luma[x] = edge ? lumaEdges[(x + gamma) % 10] : static_cast<uint16_t>(u16(rng));
                chroma[2 * x] = edge ? chromaEdges[x % 7] : static_cast<int16_t>(s16(rng));
                chroma[2 * x + 1] = edge ? chromaEdges[(x / 7) % 7] : static_cast<int16_t>(s16(rng));
            }
            const float s = static_cast<float>(saturation) / 10.0f;
            const ConvertedRow plain = convert(convertOutputRowPlain, luma, chroma, outputGammaTable(gamma), s);
            const ConvertedRow vector = convert(outputRowConverter(), luma, chroma, outputGammaTable(gamma), s);
            ASSERT_EQ(vector.rgb48, plain.rgb48) << "gamma " << gamma << " saturation " << saturation;
            ASSERT_EQ(vector.bgr24, plain.bgr24) << "gamma " << gamma << " saturation " << saturation;
            ASSERT_EQ(vector.counts.red, plain.counts.red);
            ASSERT_EQ(vector.counts.green, plain.counts.green);
            ASSERT_EQ(vector.counts.blue, plain.counts.blue);
            ASSERT_EQ(vector.counts.pixels, static_cast<uint32_t>(width));
        }
    }
}

}  // namespace
}  // namespace qv
