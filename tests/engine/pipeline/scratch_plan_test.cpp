#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"

namespace qv {
namespace {

template <class A, class B>
bool overlap(std::span<A> a, std::span<B> b)
{
    const auto* aBegin = reinterpret_cast<const uint8_t*>(a.data());
    const auto* bBegin = reinterpret_cast<const uint8_t*>(b.data());
    return aBegin < bBegin + b.size_bytes() && bBegin < aBegin + a.size_bytes();
}

template <class T>
bool aligned(std::span<T> view)
{
    return reinterpret_cast<std::uintptr_t>(view.data()) % alignof(T) == 0;
}

// Odd sides, single rows and columns, and a size where the column sums of
// many workers are a large share of the accumulator.
constexpr int kSizes[][2] = {{1, 1}, {7, 1}, {301, 1}, {1, 7}, {13, 9}, {9, 13}, {33, 16}, {640, 427}};

// The cached views stay apart from every scratch view that is written while
// they must survive, at every size and worker count: a softening map that
// the light stage's column sums reach into is silently wrong on the next
// Softness-only run.
TEST(ScratchPlan, KeptViewsStayApartFromTheScratchWrittenWhileTheyLive)
{
    for (auto [w, h] : kSizes) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        PipelineState state;
        ASSERT_TRUE(state.allocatePlanes(w, h));
        const std::size_t n = state.pixelCount();
        const std::span<uint16_t> map = softeningMap(state);
        ASSERT_EQ(map.size(), n) << size;
        for (auto scratch : {horizontalBlurPass(state), spikeFilteredLuma(state), offsetChromaPlanes(state),
                             softeningContrast(state), softeningHorizontalPass(state), resultBuffer(state)})
            EXPECT_FALSE(overlap(scratch, map)) << size;
        EXPECT_EQ(resultBuffer(state).size(), 3 * n) << size;
        EXPECT_EQ(offsetChromaPlanes(state).size(), 2 * n) << size;
        EXPECT_FALSE(overlap(toneCurveLuma(state), toneCurveBlur(state))) << size;
        EXPECT_FALSE(overlap(mergedLuma(state), mergedChroma(state))) << size;
        EXPECT_EQ(mergedChroma(state).size(), 2 * n) << size;
        EXPECT_TRUE(aligned(detailEnvelope(state)) && aligned(detailColumnLuminance(state)) &&
                    aligned(detailSpreadValues(state)))
            << size;
        EXPECT_EQ(detailSpreadValues(state).size(), n) << size;
        EXPECT_FALSE(overlap(detailColumnLuminance(state), detailSpreadValues(state))) << size;

        for (int workers = 1; workers <= 20; ++workers) {
            const std::size_t rows = splitBands(h, workers).size();
            const ColumnSumRows soften = softeningColumnSums(state, rows);
            ASSERT_EQ(soften.sums.size(), rows * w) << size << " workers " << workers;
            // The contrast pass writes the contrast map while it reads the sums.
            EXPECT_FALSE(overlap(soften.sums, softeningContrast(state))) << size << " workers " << workers;
            EXPECT_TRUE(aligned(soften.sums)) << size << " workers " << workers;
        }
    }
}

// A view never reaches past its buffer: when the buffer is short or missing
// the view is empty, and the stage that asks for it refuses to run.
TEST(ScratchPlan, ViewsOfAShortOrMissingBufferAreEmpty)
{
    PipelineState state;
    state.width = 9;
    state.height = 5;
    EXPECT_TRUE(softeningMap(state).empty());
    EXPECT_TRUE(softeningColumnSums(state, 1).empty());
    EXPECT_TRUE(mergedLuma(state).empty());

    ASSERT_TRUE(state.pairs.allocate(8 * 45 - 2));
    EXPECT_TRUE(softeningMap(state).empty());
    EXPECT_EQ(detailColumnLuminance(state).size(), 45u);
    EXPECT_EQ(resultBuffer(state).size(), 3u * 45);
    ASSERT_TRUE(state.merged.allocate(6 * 45 - 1));
    EXPECT_TRUE(mergedLuma(state).empty());
    EXPECT_EQ(mergedChroma(state).size(), 2u * 45);
}

}  // namespace
}  // namespace qv
