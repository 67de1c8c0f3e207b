// The tone curve stage with the program's worker count: a first run (blur
// and mapping) and a `Contrast`-only run (mapping alone).
// Arguments: width, height, first run (1) or not (0).

#include <benchmark/benchmark.h>

#include "bench_planes.h"
#include "engine/tone_curve.h"

namespace {

using namespace qv;

void BM_ToneCurveStage(benchmark::State& st)
{
    bench::BenchImage image(int(st.range(0)), int(st.range(1)));
    const bool firstRun = st.range(2) != 0;
    PipelineState& state = image.state;
    if (!runToneCurveStage(image.ctx, state, state.luminancePlane(), state.curvePlane(), true))
        st.SkipWithError("stage failed");
    int contrast = 0;
    for (auto _ : st) {
        image.ctx.current.Contrast = uint16_t(contrast++ % 100);
        if (!runToneCurveStage(image.ctx, state, state.luminancePlane(), state.curvePlane(), firstRun))
            st.SkipWithError("stage failed");
    }
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
    st.SetLabel(std::to_string(image.ctx.workerCount) + " workers");
}

// The per-pixel mapping on one thread.
void BM_ToneCurveMapping(benchmark::State& st)
{
    bench::BenchImage image(int(st.range(0)), int(st.range(1)));
    PipelineState& state = image.state;
    if (!runToneCurveStage(image.ctx, state, state.luminancePlane(), state.curvePlane(), true))
        st.SkipWithError("stage failed");
    for (auto _ : st) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t row = std::size_t(y) * state.width;
            mapToneCurveRow(state.luminancePlane() + row, state.curveBlur() + row, state.curvePlane() + row,
                            state.width, state.firstWeightTable(), 50);
        }
        benchmark::DoNotOptimize(state.curvePlane());
    }
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
}

BENCHMARK(BM_ToneCurveStage)
    ->Args({1280, 853, 1})
    ->Args({1280, 853, 0})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ToneCurveMapping)->Args({1280, 853})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

}  // namespace
