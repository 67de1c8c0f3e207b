#include "support/stage_image.h"

#include <algorithm>
#include <random>

#include "engine/pipeline/weight_tables.h"

namespace qv::test {

bool prepareImage(PipelineState& state, int w, int h, uint32_t seed)
{
    if (!state.allocatePlanes(w, h) || !fillWeightTables(state))
        return false;
    state.working = Bitmap::create(w, h, PixelFormat::Bgr48);
    state.output = Bitmap::create(w, h, PixelFormat::Bgr24);
    if (!state.working || !state.output)
        return false;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-2500, 2500);
    for (int y = 0; y < h; ++y) {
        uint16_t* bgr = state.working->row16(y);
        for (int x = 0; x < w; ++x) {
            const int base = (x * 3 < w ? 9000 : 41000) + 300 * y - 200 * x;
            for (int c = 0; c < 3; ++c)
                bgr[3 * x + c] = static_cast<uint16_t>(std::clamp(base + 7000 * c + noise(rng), 0, 65535));
            const float b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            state.luminancePlane()[i] = static_cast<uint16_t>((0.299f * r + 0.114f * b) + 0.587f * g);
            state.sourceChromaPlane()[2 * i] =
                static_cast<int16_t>((0.436f * b - 0.28886f * g - 0.14713f * r) / 0.872f);
            state.sourceChromaPlane()[2 * i + 1] =
                static_cast<int16_t>((0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f);
        }
    }
    return true;
}

StageImage::StageImage(int width, int height, uint32_t seed)
{
    EXPECT_TRUE(prepareImage(state, width, height, seed));
    const std::size_t n = state.pixelCount();
    const uint16_t* luminance = state.luminancePlane();
    luma.resize(n);
    std::transform(luminance, luminance + n, luma.begin(), [](uint16_t v) { return static_cast<uint16_t>(65535 - v); });
    chroma.assign(state.sourceChromaPlane(), state.sourceChromaPlane() + 2 * n);
    out.assign(n, 0xA5A5);
    outChroma.assign(2 * n, static_cast<int16_t>(0xA5A5));
}

::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size();
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (a == actual.end())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "byte " << (a - actual.begin()) << " is " << int(*a) << " instead of "
                                         << int(*e);
}

}  // namespace qv::test
