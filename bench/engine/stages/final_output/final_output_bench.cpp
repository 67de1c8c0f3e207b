// The final output on the planes of a real photo (run through the pipeline
// as far as it goes) with the program's worker count, at the neutral and at
// another gamma; and the row conversion alone on one thread, plain and AVX2.

#include <benchmark/benchmark.h>

#include "engine/kernels/simd.h"
#include "engine/stages/final_output/final_output.h"
#include "engine/stages/final_output/output_gamma.h"
#include "engine/stages/final_output/output_row.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, Gamma. The sharpened plane and the denoised
// chroma in, the output bitmap, the result buffer and the histograms out.
void FinalOutput(benchmark::State& bm)
{
    PhotoImage& image = processedPhotoAt(sizeArgument(bm));
    PipelineState& state = image.state;
    image.ctx.current.Gamma = uint16_t(bm.range(2));
    image.ctx.current.Saturation = 12;
    timeAndMeasure(bm, state.pixelCount(), [&] {
        return renderOutput(image.ctx, state, state.sharpened.as<uint16_t>(), state.denoisedChroma.as<int16_t>(),
                            *state.output);
    });
}
BENCHMARK(FinalOutput)
    ->Apply([](benchmark::internal::Benchmark* b) {
        argsAtSizes(b, {kPreviewSize}, {{6, 3}});
        argsAtSizes(b, {kCameraSize}, {{6}});
    })
    ->ArgNames({"w", "h", "Gamma"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height, AVX2 (1) or plain (0).
void OutputRows(benchmark::State& bm)
{
    PipelineState& state = processedPhotoAt(sizeArgument(bm)).state;
    if (bm.range(2) && !avx2Enabled()) {
        bm.SkipWithError("no AVX2");
        return;
    }
    const OutputRowConverter convert = bm.range(2) ? outputRowConverter() : convertOutputRowPlain;
    const float* gamma = outputGammaTable(3);
    const uint16_t* luma = state.sharpened.as<uint16_t>();
    const int16_t* chroma = state.denoisedChroma.as<int16_t>();
    uint16_t* result = resultBuffer(state).data();
    ChannelHistograms counts;
    for (auto _ : bm) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t at = std::size_t(y) * state.width;
            const OutputRow row{luma + at, chroma + 2 * at, result + 3 * at, state.output->row(y), state.width};
            convert(row, gamma, 1.2f, counts);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(OutputRows)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize}, {{0, 1}}); })
    ->ArgNames({"w", "h", "avx2"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv::bench
