// The merging stage on the planes of a real photo (run through the pipeline
// as far as it goes) with the program's worker count, in a brightness-scaled
// colour mode and in the HSL lightness mode.

#include <benchmark/benchmark.h>

#include "engine/stages/merging/merging.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, Mode. The inputs the pipeline gives the stage:
// the source luminance, the region plane, the tone curve's plane, the
// source chroma and the working bitmap.
void MergingStage(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    image.ctx.current.Mode = uint16_t(bm.range(2));
    const MergeInputs in{state.luminancePlane(), state.region.as<uint16_t>(), toneCurveLuma(state).data(),
                         state.sourceChromaPlane(), *state.working};
    timeAndMeasure(bm, state.pixelCount(), [&] { return runMergingStage(image.ctx, state, in); });
}
BENCHMARK(MergingStage)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{0, 2}}); })
    ->ArgNames({"w", "h", "Mode"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv::bench
