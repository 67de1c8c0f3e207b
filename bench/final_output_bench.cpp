#include <benchmark/benchmark.h>

#include "engine/final_output.h"
#include "engine/output_gamma.h"
#include "engine/output_row.h"
#include "synthetic_image.h"

namespace qv {
namespace {

// Args: width, height, Gamma.
void BM_FinalOutput(benchmark::State& bm)
{
    auto state = bench::syntheticState(static_cast<int>(bm.range(0)), static_cast<int>(bm.range(1)));
    ProcessingContext ctx;
    ctx.current.Gamma = static_cast<uint16_t>(bm.range(2));
    ctx.current.Saturation = 12;
    for (auto _ : bm)
        benchmark::DoNotOptimize(renderOutput(ctx, *state, state->mergedLuma(), state->mergedChroma(), *state->output));
    bm.SetItemsProcessed(bm.iterations() * bm.range(0) * bm.range(1));
}
BENCHMARK(BM_FinalOutput)
    ->Args({1280, 853, 6})
    ->Args({1280, 853, 3})
    ->Args({4000, 3000, 6})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One thread converting a whole 1280 x 853 image row by row. Arg: 0 plain, 1 AVX2.
void BM_OutputRows(benchmark::State& bm)
{
    auto state = bench::syntheticState(1280, 853);
    const OutputRowConverter convert = bm.range(0) ? convertOutputRowAvx2 : convertOutputRowPlain;
    if (bm.range(0) && !__builtin_cpu_supports("avx2")) {
        bm.SkipWithError("no AVX2");
        return;
    }
    const float* gamma = outputGammaTable(3);
    ChannelHistograms counts;
    for (auto _ : bm) {
        for (int y = 0; y < 853; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * 1280;
            const OutputRow row{state->mergedLuma() + at, state->mergedChroma() + 2 * at,
                                state->resultBuffer() + 3 * at, state->output->row(y), 1280};
            convert(row, gamma, 1.2f, counts);
        }
        benchmark::ClobberMemory();
    }
    bm.SetItemsProcessed(bm.iterations() * 1280 * 853);
}
BENCHMARK(BM_OutputRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv
