// The merging stage with the program's worker count, in a brightness-scaled
// colour mode and in the HSL lightness mode. Arguments: width, height, Mode.

#include <benchmark/benchmark.h>

#include "engine/merging.h"
#include "engine/pipeline_driver.h"
#include "late_stage_planes.h"

namespace {

using namespace qv;

void BM_MergingStage(benchmark::State& st)
{
    auto image = bench::lateStageImage(int(st.range(0)), int(st.range(1)));
    PipelineState& state = image->state;
    image->ctx.current.Mode = uint16_t(st.range(2));
    const MergeInputs in{state.luminancePlane(), state.region.as<uint16_t>(), state.curvePlane(),
                         state.sourceChromaPlane(), *state.working};
    for (auto _ : st)
        if (!runMergingStage(image->ctx, state, in))
            st.SkipWithError("stage failed");
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
    st.SetLabel(std::to_string(image->ctx.workerCount) + " workers");
}
BENCHMARK(BM_MergingStage)
    ->Args({1280, 853, 0})
    ->Args({1280, 853, 2})
    ->Args({4000, 3000, 0})
    ->Args({4000, 3000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
