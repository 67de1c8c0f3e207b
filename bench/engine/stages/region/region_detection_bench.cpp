// The region detection stage on the luminance of a real photo with the
// program's worker count.

#include <benchmark/benchmark.h>

#include "engine/stages/region/region_detection.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, DetectSH.
void RegionStage(benchmark::State& bm)
{
    PhotoImage& image = photoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    image.ctx.current.DetectSH = uint16_t(bm.range(2));
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runRegionStage(image.ctx, state, state.luminancePlane(), state.region.as<uint16_t>());
    });
}
BENCHMARK(RegionStage)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}, {{1, 5}}); })
    ->ArgNames({"w", "h", "DetectSH"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace qv::bench
