#include "engine/stages/tone_curve/tone_curve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/weight_tables.h"
#include "support/reference_blur.h"
#include "support/simd_switch.h"
#include "support/stage_image.h"

namespace qv {
namespace {

using test::Plane;

const std::vector<uint32_t> kSevenTaps{1, 12, 55, 90, 55, 12, 1};

// One image's state with a luma plane to curve.
struct ToneCurveImage : test::StageImage {
    ToneCurveImage(int width, int height, Plane input) : StageImage(width, height) { luma = std::move(input); }
    bool run(int contrast, bool inputChanged)
    {
        ctx.current.Contrast = static_cast<uint16_t>(contrast);
        return runToneCurveStage(ctx, state, luma.data(), toneCurveLuma(state).data(), inputChanged);
    }
    Plane curve() { return Plane(toneCurveLuma(state).begin(), toneCurveLuma(state).end()); }
    Plane blur() { return Plane(toneCurveBlur(state).begin(), toneCurveBlur(state).end()); }
    // The mapping of every row against the given blur.
    Plane mapped(const Plane& blur, int contrast)
    {
        Plane out(luma.size());
        const int w = state.width;
        const ToneCurveRowMapper mapRow = toneCurveRowMapper();
        for (int y = 0; y < state.height; ++y)
            mapRow(luma.data() + y * w, blur.data() + y * w, out.data() + y * w, w, state.firstWeightTable(), contrast);
        return out;
    }
};

uint16_t mapOne(PipelineState& state, uint16_t v, uint16_t b, int contrast)
{
    uint16_t out = 0;
    toneCurveRowMapper()(&v, &b, &out, 1, state.firstWeightTable(), contrast);
    return out;
}

TEST(WeightTables, RunFromTheirTopToTheirBottomExponent)
{
    PipelineState state;
    EXPECT_FALSE(fillWeightTables(state));
    ASSERT_TRUE(state.allocatePlanes(1, 1));
    ASSERT_TRUE(fillWeightTables(state));
    const float* first = state.firstWeightTable();
    const float* second = state.secondWeightTable();
    EXPECT_FLOAT_EQ(first[0], 2.1f);
    EXPECT_NEAR(first[2 * 32767], 0.6333, 1e-4);
    EXPECT_NEAR(first[2 * kWeightTableScale - 1], 0.34, 1e-5);
    EXPECT_GT(first[32767], 1.0f);
    EXPECT_LT(first[32768], 1.0f);
    EXPECT_TRUE(std::is_sorted(first, first + 2 * kWeightTableScale, std::greater<float>()));
    EXPECT_FLOAT_EQ(second[0], 3.4f);
    EXPECT_NEAR(second[kWeightTableScale - 1], 0.2, 1e-5);
    EXPECT_TRUE(std::is_sorted(second, second + kWeightTableScale, std::greater<float>()));

    // Every entry exactly: evaluated in double from the single-precision
    // a = 65535, b = a / 2 and slopes 1.1f and 2.4f, stored as float. Single
    // precision arithmetic, or double slopes, change tens of thousands of them.
    const float a = 65535.0f;
    const float b = a / 2;
    for (int i = 0; i < 2 * kWeightTableScale; ++i) {
        const double falloff = double(a) / (double(b) + double(i)) - 1.0;
        ASSERT_EQ(first[i], static_cast<float>(falloff * double(1.1f) + 1.0)) << i;
        if (i < kWeightTableScale) {
            ASSERT_EQ(second[i], static_cast<float>(falloff * double(2.4f) + 1.0)) << i;
        }
    }
}

TEST(ToneCurveMapping, MixesTheAdaptiveCurveWithTheInput)
{
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(1, 1));
    ASSERT_TRUE(fillWeightTables(state));
    // gamma[32767] ~ 0.6333, p ~ 0.6447.
    EXPECT_EQ(mapOne(state, 32768, 32768, 50), 37508);
    EXPECT_EQ(mapOne(state, 32768, 32768, 0), 42249);
    EXPECT_EQ(mapOne(state, 32768, 32768, 99), (42249 + 32768 * 99) / 100);
    // A dark neighbourhood lifts, a bright one lowers.
    EXPECT_GT(mapOne(state, 20000, 0, 0), 40000);
    EXPECT_LT(mapOne(state, 20000, 65535, 0), 6000);
    for (uint16_t b : {uint16_t(0), uint16_t(40000), uint16_t(65535)}) {
        EXPECT_EQ(mapOne(state, 0, b, 0), 0);
        EXPECT_EQ(mapOne(state, 65535, b, 0), 65535);
        EXPECT_EQ(mapOne(state, 12345, b, 100), 12345);
    }
}

// The mapping by its definition: i = trunc(65535.0 - B) in double, gamma the
// even entry 2i of the table, x = V / 65535 in single precision, the power in
// double, C = (trunc(p * 65535.0 * (100 - Contrast)) + V * Contrast) / 100.
uint16_t literalCurve(uint16_t v, uint16_t b, const float* table, int contrast)
{
    const int i = static_cast<int>(65535.0 - static_cast<double>(b));
    const float x = static_cast<float>(v) / 65535.0f;
    const double p = std::pow(static_cast<double>(x), static_cast<double>(table[2 * i]));
    const int curved = static_cast<int>(p * 65535.0 * static_cast<double>(100 - contrast));
    return static_cast<uint16_t>((curved + static_cast<int>(v) * contrast) / 100);
}

// Every luma value against a few neighbourhoods, on both paths.
TEST(ToneCurveMapping, MatchesItsDefinitionForEveryLumaValue)
{
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(1, 1));
    ASSERT_TRUE(fillWeightTables(state));
    const float* table = state.firstWeightTable();
    Plane luma(65536);
    for (int v = 0; v < 65536; ++v)
        luma[v] = static_cast<uint16_t>(v);
    for (SimdLevel level : test::kEverySimdLevel) {
        test::SimdSwitch path(level);
        for (uint16_t b : {uint16_t(0), uint16_t(1), uint16_t(21845), uint16_t(32768), uint16_t(65535)})
            for (int contrast : {0, 50, 99}) {
                const Plane blurred(65536, b);
                Plane out(65536);
                toneCurveRowMapper()(luma.data(), blurred.data(), out.data(), 65536, table, contrast);
                for (int v = 0; v < 65536; ++v)
                    ASSERT_EQ(out[v], literalCurve(static_cast<uint16_t>(v), b, table, contrast))
                        << "v " << v << " b " << b << " contrast " << contrast << " simd level "
                        << static_cast<int>(level);
            }
    }
}

// Every luma value against neighbourhoods across the range, and a random
// sample of pairs, at three contrasts.
TEST(ToneCurveMapping, VectorisedLoopGivesThePlainValues)
{
    PipelineState state;
    ASSERT_TRUE(state.allocatePlanes(1, 1));
    ASSERT_TRUE(fillWeightTables(state));
    Plane luma(65536 * 33);
    Plane blurred(luma.size());
    for (std::size_t j = 0; j < luma.size(); ++j) {
        luma[j] = static_cast<uint16_t>(j);
        blurred[j] = static_cast<uint16_t>(std::min<std::size_t>(j / 65536 * 2048, 65535));
    }
    const Plane randomLuma = test::randomPlane(1 << 20, 11);
    const Plane randomBlur = test::randomPlane(1 << 20, 12);
    luma.insert(luma.end(), randomLuma.begin(), randomLuma.end());
    blurred.insert(blurred.end(), randomBlur.begin(), randomBlur.end());

    const int width = static_cast<int>(luma.size());
    for (int contrast : {0, 37, 99}) {
        Plane plain(luma.size());
        mapToneCurveRowPlain(luma.data(), blurred.data(), plain.data(), width, state.firstWeightTable(), contrast);
        for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512}) {
            Plane vectorised(luma.size());
            const ToneCurveRowMapper mapRow = test::pickedWith(level, toneCurveRowMapper);
            mapRow(luma.data(), blurred.data(), vectorised.data(), width, state.firstWeightTable(), contrast);
            ASSERT_EQ(vectorised, plain) << "contrast " << contrast << " simd level " << static_cast<int>(level);
            // Row lengths that leave a remainder for the plain loop.
            for (int length : {7, 15}) {
                mapRow(luma.data(), blurred.data(), vectorised.data(), length, state.firstWeightTable(), contrast);
                EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + length, vectorised.begin()));
            }
        }
    }
}

TEST(ToneCurveStage, FirstRunBlursThenMapsOnEitherPathWhateverTheWorkers)
{
    for (auto [width, height] : {std::pair{37, 23}, std::pair{101, 67}, std::pair{5, 130}}) {
        ToneCurveImage image(width, height, test::randomPlane(width * height, width));
        const Plane blur = test::referenceBlur(image.luma, width, height, kSevenTaps);
        const Plane expected = image.mapped(blur, 30);
        for (bool simd : {false, true}) {
            test::SimdSwitch path(simd);
            for (int workers : {1, 3, 20}) {
                std::fill_n(image.state.curve.as<uint8_t>(), image.state.curve.bytes(), 0xAB);
                image.ctx.workerCount = workers;
                ASSERT_TRUE(image.run(30, true));
                EXPECT_EQ(image.blur(), blur) << width << "x" << height << " workers " << workers << " simd " << simd;
                EXPECT_EQ(image.curve(), expected) << width << "x" << height << " workers " << workers;
            }
        }
    }
}

TEST(ToneCurveStage, ContrastAloneRemapsTheCachedBlur)
{
    ToneCurveImage image(45, 31, test::randomPlane(45 * 31, 3));
    ASSERT_TRUE(image.run(50, true));
    const Plane blur = image.blur();

    // A later run must map against the cached plane, not blur again.
    const Plane marked(blur.size(), 20000);
    std::copy(marked.begin(), marked.end(), toneCurveBlur(image.state).data());
    ASSERT_TRUE(image.run(20, false));
    EXPECT_EQ(image.blur(), marked);
    EXPECT_EQ(image.curve(), image.mapped(marked, 20));

    ASSERT_TRUE(image.run(20, true));
    EXPECT_EQ(image.blur(), blur);
    EXPECT_EQ(image.curve(), image.mapped(blur, 20));
}

TEST(ToneCurveStage, NeedsTheWeightTables)
{
    ToneCurveImage image(20, 20, Plane(400, 1000));
    ASSERT_TRUE(image.run(50, true));
    image.state.firstWeights.release();
    EXPECT_FALSE(image.run(50, false));
}

}  // namespace
}  // namespace qv
