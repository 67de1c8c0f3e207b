// The light stage with the program's worker count: a first run (light map
// and blend) and a `Lightness`-only run (blend alone).
// Arguments: width, height, first run (1) or not (0).

#include <benchmark/benchmark.h>

#include "engine/light.h"
#include "late_stage_planes.h"

namespace {

using namespace qv;

void BM_LightStage(benchmark::State& st)
{
    auto image = bench::lateStageImage(int(st.range(0)), int(st.range(1)));
    PipelineState& state = image->state;
    const bool prepare = st.range(2) != 0;
    uint16_t* out = state.light.as<uint16_t>();
    if (!runLightStage(image->ctx, state, state.mergedLuma(), out, true))
        st.SkipWithError("stage failed");
    for (auto _ : st)
        if (!runLightStage(image->ctx, state, state.mergedLuma(), out, prepare))
            st.SkipWithError("stage failed");
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
    st.SetLabel(std::to_string(image->ctx.workerCount) + " workers");
}
BENCHMARK(BM_LightStage)
    ->Args({1280, 853, 1})
    ->Args({1280, 853, 0})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
