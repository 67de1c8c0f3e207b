// The colour noise reduction stage on the merged planes of real photos (run
// through the pipeline as far as it goes): the literal walk beside the fast
// methods.
#include <benchmark/benchmark.h>

#include <span>
#include <utility>

#include "engine/stages/color_noise_reduction/color_noise_reduction.h"
#include "photo_image.h"
#include "walk_benchmarks.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, method (0 literal, 1 plain, 2 AVX2, 3 widest),
// strength, photo. The planes the pipeline gives the stage: the merged luma
// and chroma in, the denoised chroma out, scratch in the pair accumulator,
// with the ray list the stage built on the pipeline's run.
void ColorNR(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm), static_cast<int>(bm.range(4)));
    PipelineState& state = image.state;
    const std::span<const RayEntry> rays(state.rayList.data(), static_cast<std::size_t>(state.rayCount));
    const WalkMethodArgument walks(bm.range(2));
    // The strength is the context's for the run; the shared image keeps its own.
    const uint16_t kept = std::exchange(image.ctx.current.ColorNR, static_cast<uint16_t>(bm.range(3)));
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return runColorNoiseReduction(image.ctx, state.abort, state.width, state.height, mergedLuma(state).data(),
                                      mergedChroma(state).data(), state.denoisedChroma.as<int16_t>(),
                                      offsetChromaPlanes(state).data(), rays, walks.method);
    });
    image.ctx.current.ColorNR = kept;
}

const bool registered = registerWalkBenchmarks("ColorNR", ColorNR, {5, 10}, {5});

}  // namespace
}  // namespace qv::bench
