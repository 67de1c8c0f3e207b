#include <benchmark/benchmark.h>

#include "engine/merging.h"
#include "engine/pipeline_driver.h"
#include "synthetic_image.h"

namespace qv {
namespace {

// Args: width, height, Mode.
void BM_Merging(benchmark::State& bm)
{
    auto state = bench::syntheticState(static_cast<int>(bm.range(0)), static_cast<int>(bm.range(1)));
    ProcessingContext ctx;
    ctx.current.Mode = static_cast<uint16_t>(bm.range(2));
    const MergeInputs in{state->luminancePlane(), state->region.as<uint16_t>(), state->curvePlane(),
                         state->sourceChromaPlane(), *state->working};
    for (auto _ : bm)
        benchmark::DoNotOptimize(runMerging(ctx, *state, in));
    bm.SetItemsProcessed(bm.iterations() * bm.range(0) * bm.range(1));
}
BENCHMARK(BM_Merging)
    ->Args({1280, 853, 0})
    ->Args({1280, 853, 2})
    ->Args({4000, 3000, 0})
    ->Args({4000, 3000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv
