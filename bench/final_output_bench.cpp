// The final output with the program's worker count, at the neutral and at
// another gamma, and the row conversion alone on one thread, plain and AVX2.

#include <benchmark/benchmark.h>

#include "engine/final_output.h"
#include "engine/output_gamma.h"
#include "engine/output_row.h"
#include "engine/simd.h"
#include "late_stage_planes.h"

namespace {

using namespace qv;

// Arguments: width, height, Gamma.
void BM_FinalOutput(benchmark::State& st)
{
    auto image = bench::lateStageImage(int(st.range(0)), int(st.range(1)));
    PipelineState& state = image->state;
    image->ctx.current.Gamma = uint16_t(st.range(2));
    image->ctx.current.Saturation = 12;
    for (auto _ : st)
        if (!renderOutput(image->ctx, state, state.mergedLuma(), state.mergedChroma(), *state.output))
            st.SkipWithError("stage failed");
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
    st.SetLabel(std::to_string(image->ctx.workerCount) + " workers");
}
BENCHMARK(BM_FinalOutput)
    ->Args({1280, 853, 6})
    ->Args({1280, 853, 3})
    ->Args({4000, 3000, 6})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height, AVX2 (1) or plain (0).
void BM_OutputRows(benchmark::State& st)
{
    auto image = bench::lateStageImage(int(st.range(0)), int(st.range(1)));
    PipelineState& state = image->state;
    if (st.range(2) && !avx2Enabled()) {
        st.SkipWithError("no AVX2");
        return;
    }
    const OutputRowConverter convert = st.range(2) ? convertOutputRowAvx2 : convertOutputRowPlain;
    const float* gamma = outputGammaTable(3);
    ChannelHistograms counts;
    for (auto _ : st) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t at = std::size_t(y) * state.width;
            const OutputRow row{state.mergedLuma() + at, state.mergedChroma() + 2 * at, state.resultBuffer() + 3 * at,
                                state.output->row(y), state.width};
            convert(row, gamma, 1.2f, counts);
        }
        benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * state.pixelCount());
}
BENCHMARK(BM_OutputRows)->Args({1280, 853, 0})->Args({1280, 853, 1})->Unit(benchmark::kMillisecond);

}  // namespace
