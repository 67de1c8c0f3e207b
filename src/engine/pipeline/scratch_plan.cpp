#include "engine/pipeline/scratch_plan.h"

#include <algorithm>
#include <type_traits>

#include "engine/pipeline/pipeline_state.h"

namespace qv {

namespace {

// `count` values of type T at `byteOffset` in `memory`; empty unless all of
// them lie inside it.
template <class T, class Memory>
std::span<T> viewOf(Memory& memory, std::size_t byteOffset, std::size_t count)
{
    if (count == 0 || byteOffset + count * sizeof(T) > memory.bytes())
        return {};
    return {memory.template as<std::remove_const_t<T>>(byteOffset), count};
}

// Byte offset of quarter q of the pair accumulator.
std::size_t quarter(const PipelineState& state, int q) { return q * 2 * state.pixelCount(); }

ColumnSumRows columnSumRows(PipelineState& state, std::size_t byteOffset, std::size_t end, std::size_t rows)
{
    const std::size_t width = static_cast<std::size_t>(state.width);
    if (rows * width * sizeof(uint32_t) > end - std::min(byteOffset, end))
        return {};
    return {viewOf<uint32_t>(state.pairs, byteOffset, rows * width), width};
}

}  // namespace

std::span<uint32_t> detailEnvelope(PipelineState& state)
{
    return viewOf<uint32_t>(state.curve, 0, state.pixelCount());
}

std::span<uint16_t> toneCurveLuma(PipelineState& state)
{
    return viewOf<uint16_t>(state.curve, 0, state.pixelCount());
}

std::span<uint16_t> toneCurveBlur(PipelineState& state)
{
    return viewOf<uint16_t>(state.curve, 2 * state.pixelCount(), state.pixelCount());
}

std::span<int16_t> mergedChroma(PipelineState& state)
{
    return viewOf<int16_t>(state.merged, 0, 2 * state.pixelCount());
}

std::span<uint16_t> mergedLuma(PipelineState& state)
{
    return viewOf<uint16_t>(state.merged, 4 * state.pixelCount(), state.pixelCount());
}

std::span<uint16_t> detailColumnLuminance(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 0), state.pixelCount());
}

std::span<uint16_t> detailSpreadValues(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 1), state.pixelCount());
}

std::span<uint16_t> horizontalBlurPass(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 0), state.pixelCount());
}

std::span<uint16_t> spikeFilteredLuma(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 0), state.pixelCount());
}

std::span<uint16_t> offsetChromaPlanes(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 0), 2 * state.pixelCount());
}

std::span<uint16_t> softeningContrast(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 0), state.pixelCount());
}

std::span<uint16_t> softeningHorizontalPass(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 1), state.pixelCount());
}

std::span<uint16_t> softeningMap(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, quarter(state, 3), state.pixelCount());
}

std::span<uint16_t> lightMap(PipelineState& state)
{
    return viewOf<uint16_t>(state.lightMap, 0, state.pixelCount());
}

std::span<uint16_t> resultBuffer(PipelineState& state)
{
    return viewOf<uint16_t>(state.pairs, 0, 3 * state.pixelCount());
}

std::span<const uint16_t> resultBuffer(const PipelineState& state)
{
    return viewOf<const uint16_t>(state.pairs, 0, 3 * state.pixelCount());
}

ColumnSumRows softeningColumnSums(PipelineState& state, std::size_t rows)
{
    const std::size_t aligned = (quarter(state, 1) + 3) & ~std::size_t{3};
    return columnSumRows(state, aligned, state.pairs.bytes(), rows);
}

}  // namespace qv
