// The smoothing stage on the detail plane of a 1280 x 853 photo (prepared
// and run through detail extraction as the pipeline does): the literal walk
// beside the fast methods.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "engine/smoothing.h"
#include "photo_image.h"

namespace qv::bench {
namespace {

const char* const kPhotos[] = {"photo_backlit_dome_interior.jpg", "photo_people_bar_portrait.jpg"};

// The photo's detail plane.
const std::vector<uint16_t>& detailPlane(int photo)
{
    static std::vector<uint16_t> planes[2];
    if (planes[photo].empty()) {
        PhotoImage image(1280, 853, kPhotos[photo]);
        if (!image.runFromScratch())
            std::abort();
        const uint16_t* detail = image.state.detail.as<uint16_t>();
        planes[photo].assign(detail, detail + image.state.pixelCount());
    }
    return planes[photo];
}

// Arguments: method (0 literal, 1 scalar, 2 vector), strength, photo.
void BM_Smoothing(benchmark::State& state)
{
    const std::vector<uint16_t>& in = detailPlane(static_cast<int>(state.range(2)));
    std::vector<uint16_t> out(in.size()), scratch(in.size());
    ProcessingContext ctx;
    std::atomic<bool> abort{false};
    for (auto _ : state) {
        if (!runSmoothing(ctx, abort, 1280, 853, in.data(), out.data(), scratch.data(),
                          static_cast<int>(state.range(1)), static_cast<WalkMethod>(state.range(0))))
            state.SkipWithError("stage failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["workers"] = ctx.workerCount;
}

BENCHMARK(BM_Smoothing)
    ->ArgNames({"method", "strength", "photo"})
    ->ArgsProduct({{1, 2}, {9, 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_Smoothing)
    ->ArgNames({"method", "strength", "photo"})
    ->ArgsProduct({{0}, {9, 10}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace
}  // namespace qv::bench
