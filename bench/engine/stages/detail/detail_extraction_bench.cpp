// The detail extraction stage on a real photo at both working sizes, with
// the fast and with the literal (pixel-walking) spreading, and one spreading
// pass over every row alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/stages/detail/detail_extraction.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, worker count. The planes the pipeline gives the
// stage: luminance in, detail plane out, scratch in the curve plane and the
// pair accumulator.
void runStage(benchmark::State& bm, LineSpreadFn spread)
{
    PipelineState& state = photoAt(sizeArgument(bm)).state;
    ProcessingContext ctx;
    ctx.workerCount = static_cast<int>(bm.range(2));
    const DetailPlanes planes{state.luminancePlane(), state.detail.as<uint16_t>(), detailEnvelope(state).data(),
                              detailPairs(state).data()};
    timeAndMeasure(bm, state.pixelCount(),
                   [&] { return extractDetails(ctx, state.abort, planes, state.width, state.height, spread); });
}
void Stage_Fast(benchmark::State& bm) { runStage(bm, fastLineSpreading()); }
void Stage_Literal(benchmark::State& bm) { runStage(bm, spreadLineLiteral); }

// Arguments: width, height, reach. One horizontal spreading pass over every
// row, the photo's luminance as the spread values.
void runRows(benchmark::State& bm, LineSpreadFn spread)
{
    PipelineState& state = photoAt(sizeArgument(bm)).state;
    const int reach = static_cast<int>(bm.range(2));
    const uint16_t* luma = state.luminancePlane();
    const std::vector<uint32_t> values(luma, luma + state.pixelCount());
    uint32_t* pairs = detailPairs(state).data();
    SpreadScratch scratch;
    scratch.reserve(state.width, reach);
    for (auto _ : bm) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t row = std::size_t(y) * state.width;
            spread({luma + row, values.data() + row, state.width}, {reach, reach}, 4352, scratch, pairs + 2 * row);
        }
        benchmark::DoNotOptimize(pairs);
    }
}
void Rows_Fast(benchmark::State& bm) { runRows(bm, fastLineSpreading()); }
void Rows_Literal(benchmark::State& bm) { runRows(bm, spreadLineLiteral); }
// The stop search at every reach: short reaches are otherwise walked in
// lockstep with AVX2.
void Rows_Searched(benchmark::State& bm) { runRows(bm, spreadLine); }

const int64_t kDefaultWorkers = ProcessingContext::defaultWorkerCount();

BENCHMARK(Stage_Fast)
    ->Apply([](benchmark::internal::Benchmark* b) {
        argsAtSizes(b, {kPreviewSize, kCameraSize}, {{1, kDefaultWorkers}});
    })
    ->ArgNames({"w", "h", "workers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// About twice as slow: one run at the camera size.
BENCHMARK(Stage_Literal)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize}, {{1, kDefaultWorkers}}); })
    ->ArgNames({"w", "h", "workers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(Stage_Literal)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kCameraSize}, {{kDefaultWorkers}}); })
    ->ArgNames({"w", "h", "workers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The reaches of the preview size at its own, the camera size's (121) at its own.
void rowArguments(benchmark::internal::Benchmark* b)
{
    argsAtSizes(b, {kPreviewSize}, {{5, 14, 39}});
    argsAtSizes(b, {kCameraSize}, {{121}});
    b->ArgNames({"w", "h", "reach"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(Rows_Fast)->Apply(rowArguments);
BENCHMARK(Rows_Searched)->Apply(rowArguments);
BENCHMARK(Rows_Literal)->Apply(rowArguments);

}  // namespace
}  // namespace qv::bench
