// The working image's reduction (a 24 MP 16-bit photo to the 1280 px preview)
// and the derivation of its luminance and chroma planes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <vector>

#include "imageio/resample.h"
#include "imageio/source_planes.h"
#include "imageio/working_image.h"
#include "imaging/bitmap.h"

namespace {

using namespace qv;

// A smooth gradient with fine structure, so no branch sees only constants.
std::unique_ptr<Bitmap> makePhoto48(int width, int height)
{
    std::unique_ptr<Bitmap> b = Bitmap::create(width, height, PixelFormat::Bgr48);
    for (int y = 0; y < height; ++y) {
        uint16_t* row = b->row16(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<uint16_t>((x * 11 + y * 3) & 0xFFFF);
            row[3 * x + 1] = static_cast<uint16_t>((x * y) & 0xFFFF);
            row[3 * x + 2] = static_cast<uint16_t>(65535 - ((x + y * 7) & 0x7FFF));
        }
    }
    return b;
}

template <class Sample>
PixelRows<Sample> rowsOf(Bitmap& b)
{
    return {reinterpret_cast<Sample*>(b.bits()), b.width(), b.height(), b.stride()};
}

void BM_Resample24MpTo1280(benchmark::State& state)
{
    const int workers = static_cast<int>(state.range(0));
    const auto kernel = state.range(1) ? ResampleKernel::Lanczos3 : ResampleKernel::Cubic;
    std::unique_ptr<Bitmap> source = makePhoto48(6000, 4000);
    const ImageSize size = fitToBox(6000, 4000, 1280, 1280);
    std::unique_ptr<Bitmap> target = Bitmap::create(size.width, size.height, PixelFormat::Bgr48);
    std::vector<float> work(resampleWorkFloats(size.width, source->height()));
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    for (auto _ : state) {
        const int result = resampleImage(rowsOf<const uint16_t>(*source), rowsOf<uint16_t>(*target), work.data(),
                                         kernel, {abort, progress, workers});
        benchmark::DoNotOptimize(result);
    }
    state.counters["MPix/s"] =
        benchmark::Counter(6000.0 * 4000.0 * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Resample24MpTo1280)
    ->ArgNames({"workers", "lanczos"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({4, 0})
    ->Args({4, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SourcePlanes1280(benchmark::State& state)
{
    std::unique_ptr<Bitmap> working = makePhoto48(1280, 853);
    std::vector<uint16_t> luminance(1280 * 853);
    std::vector<int16_t> chroma(2 * 1280 * 853);
    std::atomic<bool> abort{false};
    std::atomic<int> percent{0};
    for (auto _ : state) {
        percent = 0;
        benchmark::DoNotOptimize(computeSourcePlanes(*working, luminance.data(), chroma.data(), abort, percent));
    }
    state.counters["MPix/s"] = benchmark::Counter(1280.0 * 853.0 * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SourcePlanes1280)->Unit(benchmark::kMillisecond);

}  // namespace
