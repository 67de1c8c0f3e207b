// The detail extraction stage on real photos at a preview size and at a
// camera size, with the fast and with the literal (pixel-walking) spreading.
#include <benchmark/benchmark.h>

#include <QImage>

#include <atomic>
#include <string>
#include <vector>

#include "engine/detail_extraction.h"
#include "engine/processing_context.h"
#include "engine/simd.h"

namespace {

struct Planes {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> luma;
    std::vector<uint16_t> detail;
    std::vector<uint32_t> envelope;
    std::vector<uint32_t> pairs;
};

// The photo scaled to the size; luminance as the loader derives it.
Planes loadPlanes(const char* name, int width, int height)
{
    QImage image(QString::fromStdString(std::string(QV_TESTDATA_DIR) + "/" + name));
    Planes p;
    if (image.isNull())
        return p;
    image = image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB888);
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y) {
        const uchar* rgb = image.constScanLine(y);
        for (int x = 0; x < width; ++x, rgb += 3) {
            const float r = float(rgb[0] << 8), g = float(rgb[1] << 8), b = float(rgb[2] << 8);
            p.luma.push_back(uint16_t((0.299f * r + 0.114f * b) + 0.587f * g));
        }
    }
    const std::size_t n = p.luma.size();
    p.detail.resize(n);
    p.envelope.resize(n);
    p.pairs.resize(2 * n);
    return p;
}

Planes& preview()
{
    static Planes p = loadPlanes("photo_people_bar_portrait.jpg", 1280, 853);
    return p;
}

Planes& camera()
{
    static Planes p = loadPlanes("photo_night_street_shop.jpg", 4000, 3000);
    return p;
}

void runStage(benchmark::State& state, Planes& (*planes)(), qv::LineSpreadFn spread)
{
    Planes& p = planes();
    if (p.luma.empty()) {
        state.SkipWithError("test photo missing");
        return;
    }
    qv::ProcessingContext ctx;
    ctx.workerCount = static_cast<int>(state.range(0));
    std::atomic<bool> abort{false};
    const qv::DetailPlanes view{p.luma.data(), p.detail.data(), p.envelope.data(), p.pairs.data()};
    for (auto _ : state) {
        if (!qv::extractDetails(ctx, abort, view, p.width, p.height, spread))
            state.SkipWithError("stage failed");
        benchmark::DoNotOptimize(p.detail.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(p.width) * p.height);
}

void BM_Preview_Fast(benchmark::State& s) { runStage(s, preview, qv::spreadLine); }
void BM_Preview_Literal(benchmark::State& s) { runStage(s, preview, qv::spreadLineLiteral); }
void BM_Camera_Fast(benchmark::State& s) { runStage(s, camera, qv::spreadLine); }
void BM_Camera_Literal(benchmark::State& s) { runStage(s, camera, qv::spreadLineLiteral); }

// One horizontal spreading pass over every row, the photo's luminance as the
// spread values.
void runRows(benchmark::State& state, qv::LineSpreadFn spread)
{
    Planes& p = state.range(1) ? camera() : preview();
    if (p.luma.empty()) {
        state.SkipWithError("test photo missing");
        return;
    }
    const int reach = static_cast<int>(state.range(0));
    std::vector<uint32_t> values(p.luma.begin(), p.luma.end());
    qv::SpreadScratch scratch;
    scratch.reserve(p.width, reach);
    for (auto _ : state) {
        for (int y = 0; y < p.height; ++y) {
            const std::size_t row = std::size_t(y) * p.width;
            spread({p.luma.data() + row, values.data() + row, p.width}, {reach, reach}, 4352, scratch,
                   p.pairs.data() + 2 * row);
        }
        benchmark::DoNotOptimize(p.pairs.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(p.width) * p.height);
}
void BM_Rows_Fast(benchmark::State& s) { runRows(s, qv::spreadLine); }
void BM_Rows_Literal(benchmark::State& s) { runRows(s, qv::spreadLineLiteral); }
// The stop search at every reach: short reaches are otherwise walked in
// lockstep with AVX2.
void BM_Rows_Searched(benchmark::State& s)
{
    qv::setSimdEnabled(false);
    runRows(s, qv::spreadLine);
    qv::setSimdEnabled(true);
}

}  // namespace

// Argument: worker count (1, and the program's default).
const int kDefaultWorkers = qv::ProcessingContext::defaultWorkerCount();
BENCHMARK(BM_Preview_Fast)->Arg(1)->Arg(kDefaultWorkers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Preview_Literal)->Arg(1)->Arg(kDefaultWorkers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Camera_Fast)->Arg(1)->Arg(kDefaultWorkers)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Camera_Literal)->Arg(kDefaultWorkers)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: reach, and 0 for the preview photo or 1 for the camera-size one.
BENCHMARK(BM_Rows_Fast)->Args({5, 0})->Args({14, 0})->Args({39, 0})->Args({121, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_Searched)->Args({5, 0})->Args({14, 0})->Args({39, 0})->Args({121, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_Literal)->Args({5, 0})->Args({14, 0})->Args({39, 0})->Args({121, 1})->Unit(benchmark::kMillisecond);
