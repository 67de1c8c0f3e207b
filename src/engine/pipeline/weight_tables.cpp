#include "engine/pipeline/weight_tables.h"

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"

namespace qv {

namespace {

void fillTable(float* table, int entries, float slope)
{
    const float a = static_cast<float>(kWeightTableScale - 1);
    const float b = a / 2.0f;
    for (int i = 0; i < entries; ++i)
        table[i] = static_cast<float>((double(a) / (double(b) + i) - 1.0) * double(slope) + 1.0);
}

}  // namespace

bool fillWeightTables(PipelineState& state)
{
    if (state.firstWeights.bytes() < 2 * kWeightTableScale * sizeof(float) ||
        state.secondWeights.bytes() < kWeightTableScale * sizeof(float))
        return false;
    fillTable(state.firstWeightTable(), 2 * kWeightTableScale, 1.1f);
    fillTable(state.secondWeightTable(), kWeightTableScale, 2.4f);
    return true;
}

}  // namespace qv
