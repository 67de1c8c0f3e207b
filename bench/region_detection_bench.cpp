// The region detection stage with the program's worker count.
// Arguments: width, height, DetectSH.

#include <benchmark/benchmark.h>

#include "bench_planes.h"
#include "engine/region_detection.h"

namespace {

using namespace qv;

void BM_RegionStage(benchmark::State& st)
{
    bench::BenchImage image(int(st.range(0)), int(st.range(1)));
    image.ctx.current.DetectSH = uint16_t(st.range(2));
    PipelineState& state = image.state;
    for (auto _ : st) {
        if (!runRegionStage(image.ctx, state, state.luminancePlane(), state.region.as<uint16_t>()))
            st.SkipWithError("stage failed");
    }
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
    st.SetLabel(std::to_string(image.ctx.workerCount) + " workers");
}

BENCHMARK(BM_RegionStage)
    ->Args({1280, 853, 1})
    ->Args({1280, 853, 5})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
