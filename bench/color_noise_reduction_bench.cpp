// The colour noise reduction stage on the merged planes of 1280 x 853 photos
// (prepared and run through the pipeline as far as merging): the literal
// walk beside the fast methods.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "engine/color_noise_reduction.h"
#include "engine/ray_list.h"
#include "photo_image.h"

namespace qv::bench {
namespace {

const char* const kPhotos[] = {"photo_backlit_dome_interior.jpg", "photo_people_bar_portrait.jpg"};

struct MergedPlanes {
    std::vector<uint16_t> luma;
    std::vector<int16_t> chroma;
};

const MergedPlanes& mergedPlanes(int photo)
{
    static MergedPlanes planes[2];
    if (planes[photo].luma.empty()) {
        PhotoImage image(1280, 853, kPhotos[photo]);
        if (!image.runFromScratch())
            std::abort();
        const std::size_t n = image.state.pixelCount();
        planes[photo].luma.assign(image.state.mergedLuma(), image.state.mergedLuma() + n);
        planes[photo].chroma.assign(image.state.mergedChroma(), image.state.mergedChroma() + 2 * n);
    }
    return planes[photo];
}

// Arguments: method (0 literal, 1 scalar, 2 vector), strength, photo.
void BM_ColorNR(benchmark::State& state)
{
    const MergedPlanes& in = mergedPlanes(static_cast<int>(state.range(2)));
    std::vector<RayEntry> rays(kRayListCapacity);
    rays.resize(buildRayList(rays.data(), 0.0f, kRayRadius, kRayListCapacity, kRayAngleStep));
    std::vector<int16_t> out(in.chroma.size());
    std::vector<uint16_t> scratch(in.chroma.size());
    ProcessingContext ctx;
    std::atomic<bool> abort{false};
    for (auto _ : state) {
        if (!runColorNoiseReduction(ctx, abort, 1280, 853, in.luma.data(), in.chroma.data(), out.data(),
                                    scratch.data(), rays, static_cast<int>(state.range(1)),
                                    static_cast<WalkMethod>(state.range(0))))
            state.SkipWithError("stage failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["workers"] = ctx.workerCount;
}

BENCHMARK(BM_ColorNR)
    ->ArgNames({"method", "strength", "photo"})
    ->ArgsProduct({{1, 2}, {5, 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_ColorNR)
    ->ArgNames({"method", "strength", "photo"})
    ->ArgsProduct({{0}, {5}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace
}  // namespace qv::bench
