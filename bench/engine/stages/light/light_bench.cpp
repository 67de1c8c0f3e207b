// The light stage on the softened plane of a real photo (run through the
// pipeline as far as it goes) with the program's worker count: a first run
// (light map and blend) and a `Lightness`-only run (blend alone). At 24 MP
// the photo is lit as loaded, its luminance standing in for the softened
// plane, so that no pipeline run has to come first.

#include <benchmark/benchmark.h>

#include "engine/stages/light/light.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, first run (1) or not (0).
void LightStage(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    const bool inputChanged = bm.range(2) != 0;
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runLightStage(image.ctx, state, state.softened.as<uint16_t>(), state.light.as<uint16_t>(), inputChanged);
    });
}
BENCHMARK(LightStage)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{1, 0}}); })
    ->ArgNames({"w", "h", "prepare"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height, first run (1) or not (0).
void LightStageOnLoadedPhoto(benchmark::State& bm)
{
    PhotoImage& image = photoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    const bool inputChanged = bm.range(2) != 0;
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runLightStage(image.ctx, state, state.luminancePlane(), state.light.as<uint16_t>(), inputChanged);
    });
}
BENCHMARK(LightStageOnLoadedPhoto)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {{6000, 4000}}, {{1, 0}}); })
    ->ArgNames({"w", "h", "prepare"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv::bench
