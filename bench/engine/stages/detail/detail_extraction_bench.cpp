// The detail extraction stage on a real photo at both working sizes, with
// the fast and with the literal (pixel-walking) spreading; the stage at the
// radii of growing sizes, per pixel; and one spreading pass over every row
// alone.
#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

#include "engine/pipeline/plane_memory.h"
#include "engine/stages/detail/detail_extraction.h"
#include "imageio/source_planes.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height, worker count. The planes the pipeline gives the
// stage: luminance in, detail plane out, scratch in the curve plane and the
// pair accumulator.
void runStage(benchmark::State& bm, DetailSpreading spread)
{
    PipelineState& state = photoAt(sizeArgument(bm)).state;
    ProcessingContext ctx;
    ctx.workerCount = static_cast<int>(bm.range(2));
    const DetailPlanes planes{state.luminancePlane(), state.detail.as<uint16_t>(), detailEnvelope(state).data(),
                              detailSpreadValues(state).data(), detailColumnLuminance(state).data()};
    timeAndMeasure(bm, state.pixelCount(),
                   [&] { return extractDetails(ctx, state.abort, planes, state.width, state.height, spread); });
}
void Stage_Fast(benchmark::State& bm) { runStage(bm, fastDetailSpreading()); }
void Stage_Literal(benchmark::State& bm) { runStage(bm, spreadLineLiteral); }

// The planes of the stage alone, with the luminance of the default photo
// scaled to width x height, for sizes beyond what a whole pipeline state
// should take in memory. Allocated as the pipeline allocates its planes.
struct ScaledPlanes {
    PlaneMemory luma, detail, envelope, values, columnLuminance;

    ScaledPlanes(int width, int height)
    {
        const std::size_t n = std::size_t(width) * height;
        if (!luma.allocate(2 * n) || !detail.allocate(2 * n) || !envelope.allocate(4 * n) ||
            !values.allocate(2 * n) || !columnLuminance.allocate(2 * n))
            std::abort();
        const std::unique_ptr<Bitmap> photo = scaled48(*decodedPhoto48(kPhotos[0]), width, height);
        std::vector<int16_t> chroma(2 * n);
        std::atomic<bool> noAbort{false};
        std::atomic<int> percent{0};
        if (!computeSourcePlanes(*photo, luma.as<uint16_t>(), chroma.data(), noAbort, percent))
            std::abort();
    }
    DetailPlanes planes()
    {
        return {luma.as<uint16_t>(), detail.as<uint16_t>(), envelope.as<uint32_t>(), values.as<uint16_t>(),
                columnLuminance.as<uint16_t>()};
    }
};

// Argument: the radius R (3 % of the longer side). The stage on the photo
// scaled to 3:2 at the smallest size with that radius (R = 180 is
// 6000 x 4000), every worker's processor time per pixel in ns_per_px: the
// spreading's cost per pixel should not follow the radius.
void Stage_Radius(benchmark::State& bm)
{
    const int radius = static_cast<int>(bm.range(0));
    const int width = (radius * 100 + 2) / 3;
    const int height = width * 2 / 3;
    ScaledPlanes planes(width, height);
    ProcessingContext ctx;
    ctx.workerCount = ProcessingContext::defaultWorkerCount();
    std::atomic<bool> abort{false};
    const DetailPlanes p = planes.planes();
    const std::clock_t started = std::clock();
    for (auto _ : bm)
        if (!extractDetails(ctx, abort, p, width, height, fastDetailSpreading())) {
            skipFailedStep(bm);
            return;
        }
    // The process's processor time, all workers together, per pixel of one run.
    const double seconds = double(std::clock() - started) / CLOCKS_PER_SEC;
    bm.counters["ns_per_px"] = seconds * 1e9 / (double(bm.iterations()) * width * height);
    bm.SetLabel(std::to_string(width) + "x" + std::to_string(height));
}

// Arguments: width, height, reach. One horizontal spreading pass over every
// row, the photo's luminance as the spread values.
void runRows(benchmark::State& bm, LineSpreadFn spread)
{
    PipelineState& state = photoAt(sizeArgument(bm)).state;
    const int reach = static_cast<int>(bm.range(2));
    const uint16_t* luma = state.luminancePlane();
    std::vector<uint32_t> pairs(2 * std::size_t(state.width));
    SpreadScratch scratch;
    scratch.reserve(state.width, reach);
    for (auto _ : bm) {
        for (int y = 0; y < state.height; ++y) {
            const std::size_t row = std::size_t(y) * state.width;
            spread({luma + row, luma + row, state.width}, {reach, reach}, 4352, scratch, pairs.data());
        }
        benchmark::DoNotOptimize(pairs.data());
    }
}
void Rows_Fast(benchmark::State& bm) { runRows(bm, fastLineSpreading()); }
void Rows_Literal(benchmark::State& bm) { runRows(bm, spreadLineLiteral); }
// The stop search at every reach: short reaches are otherwise walked with AVX2.
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

BENCHMARK(Stage_Radius)
    ->Arg(40)
    ->Arg(120)
    ->Arg(180)
    ->Arg(360)
    ->ArgName("radius")
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

// The reaches of the preview size at its own, those of the camera size (121,
// 41) and of 24 megapixels (181, 61) at the camera size.
void rowArguments(benchmark::internal::Benchmark* b)
{
    argsAtSizes(b, {kPreviewSize}, {{5, 14, 39}});
    argsAtSizes(b, {kCameraSize}, {{41, 61, 121, 181}});
    b->ArgNames({"w", "h", "reach"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(Rows_Fast)->Apply(rowArguments);
BENCHMARK(Rows_Searched)->Apply(rowArguments);
BENCHMARK(Rows_Literal)->Apply(rowArguments);

}  // namespace
}  // namespace qv::bench
