// The tone curve stage on the smoothed plane of a real photo with the
// program's worker count: a first run (blur and mapping) and a
// `Contrast`-only run (mapping alone); and the mapping alone on one thread.

#include <benchmark/benchmark.h>

#include "engine/stages/tone_curve/tone_curve.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, first run (1) or not (0).
void ToneCurveStage(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    const bool inputChanged = bm.range(2) != 0;
    int contrast = 0;
    timeAndMeasure(bm, state.pixelCount(), [&] {
        image.ctx.current.Contrast = uint16_t(contrast++ % 100);
        return runToneCurveStage(image.ctx, state, state.smoothed.as<uint16_t>(), toneCurveLuma(state).data(),
                                 inputChanged);
    });
}
BENCHMARK(ToneCurveStage)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{1, 0}}); })
    ->ArgNames({"w", "h", "first"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height. The per-pixel mapping of every row, on the
// blur the pipeline's run left.
void ToneCurveMapping(benchmark::State& bm)
{
    PipelineState& state = processedPhotoAt(sizeArgument(bm)).state;
    const uint16_t* in = state.smoothed.as<uint16_t>();
    const ToneCurveRowMapper mapRow = toneCurveRowMapper();
    const uint16_t* blur = toneCurveBlur(state).data();
    uint16_t* out = toneCurveLuma(state).data();
    for (auto _ : bm) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t row = std::size_t(y) * state.width;
            mapRow(in + row, blur + row, out + row, state.width, state.firstWeightTable(), 50);
        }
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(ToneCurveMapping)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}); })
    ->ArgNames({"w", "h"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv::bench
