// The colour noise reduction stage on 1280 x 853 photos: the literal walk
// beside the fast methods.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "../tests/support/photo_planes.h"
#include "engine/color_noise_reduction.h"
#include "engine/processing_context.h"
#include "engine/ray_list.h"

namespace {

const char* const kPhotos[] = {"photo_backlit_dome_interior.jpg", "photo_people_bar_portrait.jpg"};

const qv::test::PhotoPlanes& photo(int index)
{
    static const qv::test::PhotoPlanes photos[] = {
        qv::test::loadPhotoPlanesFile(std::string(QV_TESTDATA_DIR "/") + kPhotos[0], 1280),
        qv::test::loadPhotoPlanesFile(std::string(QV_TESTDATA_DIR "/") + kPhotos[1], 1280)};
    return photos[index];
}

// Arguments: method (0 literal, 1 scalar, 2 vector), strength, photo.
void BM_ColorNR(benchmark::State& state)
{
    const qv::test::PhotoPlanes& in = photo(static_cast<int>(state.range(2)));
    if (in.width == 0) {
        state.SkipWithError("test photo missing");
        return;
    }
    std::vector<qv::RayEntry> rays(qv::kRayListCapacity);
    rays.resize(qv::buildRayList(rays.data(), 0.0f, qv::kRayRadius, qv::kRayListCapacity, qv::kRayAngleStep));
    std::vector<int16_t> out(in.chroma.size());
    qv::ProcessingContext ctx;
    std::atomic<bool> abort{false};
    for (auto _ : state) {
        if (!qv::runColorNoiseReduction(ctx, abort, in.width, in.height, in.luma.data(), in.chroma.data(),
                                        out.data(), rays, static_cast<int>(state.range(1)),
                                        static_cast<qv::WalkMethod>(state.range(0))))
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
    ->ArgsProduct({{0}, {5}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace
