// The smoothing stage on a 1280 x 853 photo: the literal walk beside the
// fast methods, on the photo's luminance and on a detail-like plane.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "../tests/support/photo_planes.h"
#include "engine/processing_context.h"
#include "engine/smoothing.h"

namespace {

struct Input {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> luma;
    std::vector<uint16_t> detail;
};

const Input& input()
{
    static const Input in = [] {
        const qv::test::PhotoPlanes photo =
            qv::test::loadPhotoPlanesFile(QV_TESTDATA_DIR "/photo_backlit_dome_interior.jpg", 1280);
        Input i;
        i.width = photo.width;
        i.height = photo.height;
        i.luma = photo.luma;
        i.detail = qv::test::detailLikePlane(photo.luma, photo.width, photo.height);
        return i;
    }();
    return in;
}

// Arguments: method (0 literal, 1 scalar, 2 vector), strength, plane (0 luma, 1 detail-like).
void BM_Smoothing(benchmark::State& state)
{
    const Input& in = input();
    if (in.width == 0) {
        state.SkipWithError("test photo missing");
        return;
    }
    const auto method = static_cast<qv::WalkMethod>(state.range(0));
    const std::vector<uint16_t>& plane = state.range(2) == 0 ? in.luma : in.detail;
    std::vector<uint16_t> out(plane.size());
    qv::ProcessingContext ctx;
    std::atomic<bool> abort{false};
    for (auto _ : state) {
        if (!qv::runSmoothing(ctx, abort, in.width, in.height, plane.data(), out.data(),
                              static_cast<int>(state.range(1)), method))
            state.SkipWithError("stage failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["workers"] = ctx.workerCount;
}

BENCHMARK(BM_Smoothing)
    ->ArgNames({"method", "strength", "plane"})
    ->ArgsProduct({{1, 2}, {9, 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(BM_Smoothing)
    ->ArgNames({"method", "strength", "plane"})
    ->ArgsProduct({{0}, {9, 10}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace
