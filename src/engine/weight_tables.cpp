#include "engine/weight_tables.h"

#include "engine/processing_context.h"

namespace qv {

namespace {

void fillTable(float* table, int entries, float a, float b, float factor)
{
    for (int i = 0; i < entries; ++i)
        table[i] = static_cast<float>((static_cast<double>(a) / (static_cast<double>(b) + i) - 1.0) *
                                          static_cast<double>(factor) +
                                      1.0);
}

}  // namespace

void fillWeightTables(PipelineState& state)
{
    constexpr int n = 65536;
    const float a = static_cast<float>(n - 1);
    const float b = a / 2;
    fillTable(state.firstWeightTable(), 2 * n, a, b, 1.1f);
    fillTable(state.secondWeightTable(), n, a, b, 2.4f);
}

}  // namespace qv
