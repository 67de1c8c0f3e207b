// The softening and sharpening stages on the planes of a real photo (run
// through the pipeline as far as it goes) with the program's worker count.

#include <benchmark/benchmark.h>

#include "engine/stages/sharpening/sharpening.h"
#include "engine/stages/softening/softening.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, first run (1: the soft contrast map is rebuilt)
// or not (0). The merged luma in, the softened plane out.
void Softening(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    image.ctx.current.Softness = 60;
    const bool inputChanged = bm.range(2) != 0;
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runSofteningStage(image.ctx, state, mergedLuma(state).data(), state.softened.as<uint16_t>(),
                                 inputChanged);
    });
}
BENCHMARK(Softening)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{1, 0}}); })
    ->ArgNames({"w", "h", "prepare"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height, SharpnessRadius. The light plane in, the
// sharpened plane out.
void Sharpening(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    image.ctx.current.Sharpness = 100;
    image.ctx.current.SharpnessRadius = static_cast<uint16_t>(bm.range(2));
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runSharpeningStage(image.ctx, state, state.light.as<uint16_t>(), state.sharpened.as<uint16_t>());
    });
}
BENCHMARK(Sharpening)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{7, 40}}); })
    ->ArgNames({"w", "h", "radius"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv::bench
