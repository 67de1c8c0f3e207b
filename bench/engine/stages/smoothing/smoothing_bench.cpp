// The smoothing stage on the detail plane of real photos (run through the
// pipeline as far as it goes): the literal walk beside the fast methods.
#include <benchmark/benchmark.h>

#include <utility>

#include "engine/stages/smoothing/smoothing.h"
#include "photo_image.h"
#include "walk_benchmarks.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, method (0 literal, 1 plain, 2 AVX2, 3 widest),
// strength, photo. The planes the pipeline gives the stage: the detail plane
// in, the smoothed plane out, scratch in the pair accumulator.
void Smoothing(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm), static_cast<int>(bm.range(4)));
    PipelineState& state = image.state;
    const WalkMethodArgument walks(bm.range(2));
    // The strength is the context's for the run; the shared image keeps its own.
    const uint16_t kept = std::exchange(image.ctx.current.Smoothing, static_cast<uint16_t>(bm.range(3)));
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runSmoothing(image.ctx, state.abort, state.width, state.height, state.detail.as<uint16_t>(),
                            state.smoothed.as<uint16_t>(), spikeFilteredLuma(state).data(), walks.method);
    });
    image.ctx.current.Smoothing = kept;
}

const bool registered = registerWalkBenchmarks("Smoothing", Smoothing, {9, 10}, {9, 10});

}  // namespace
}  // namespace qv::bench
