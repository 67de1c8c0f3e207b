#include <benchmark/benchmark.h>

#include "engine/light.h"
#include "synthetic_image.h"

namespace qv {
namespace {

// Args: width, height, whether the light map is rebuilt.
void BM_Light(benchmark::State& bm)
{
    auto state = bench::syntheticState(static_cast<int>(bm.range(0)), static_cast<int>(bm.range(1)));
    ProcessingContext ctx;
    const bool prepare = bm.range(2) != 0;
    if (!prepare)
        runLight(ctx, *state, state->mergedLuma(), state->light.as<uint16_t>(), true);
    for (auto _ : bm)
        benchmark::DoNotOptimize(runLight(ctx, *state, state->mergedLuma(), state->light.as<uint16_t>(), prepare));
    bm.SetItemsProcessed(bm.iterations() * bm.range(0) * bm.range(1));
}
BENCHMARK(BM_Light)
    ->Args({1280, 853, 1})
    ->Args({1280, 853, 0})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv
