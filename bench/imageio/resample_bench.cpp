// The working image's reduction (a real 16-bit photo scaled up to 24 MP,
// shrunk to the 1280 px preview) and the derivation of its luminance and
// chroma planes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <vector>

#include "imageio/resample.h"
#include "imageio/source_planes.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

template <class Sample>
PixelRows<Sample> rowsOf(Bitmap& b)
{
    return {reinterpret_cast<Sample*>(b.bits()), b.width(), b.height(), b.stride()};
}

// Memory per pixel of the 24 MP photo.
void Resample24MpTo1280(benchmark::State& bm)
{
    const int workers = static_cast<int>(bm.range(0));
    const auto kernel = bm.range(1) ? ResampleKernel::Lanczos3 : ResampleKernel::Cubic;
    static const std::unique_ptr<Bitmap> source = scaled48(*decodedPhoto48(kPhotos[2]), 6000, 4000);
    const ImageSize size = fitToBox(6000, 4000, 1280, 1280);
    std::unique_ptr<Bitmap> target = Bitmap::create(size.width, size.height, PixelFormat::Bgr48);
    std::vector<float> work(resampleWorkFloats(size.width, source->height()));
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    timeAndMeasure(bm, std::size_t(6000) * 4000, [&] {
        return resampleImage(rowsOf<const uint16_t>(*source), rowsOf<uint16_t>(*target), work.data(), kernel,
                             {abort, progress, workers}) == ResampleResult::Done;
    });
    bm.counters["MPix/s"] = benchmark::Counter(6000.0 * 4000.0 * bm.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(Resample24MpTo1280)
    ->ArgNames({"workers", "lanczos"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({4, 0})
    ->Args({4, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void SourcePlanes1280(benchmark::State& bm)
{
    const Bitmap& working = *photoAt(kPreviewSize).state.working;
    const std::size_t pixels = std::size_t(working.width()) * working.height();
    std::vector<uint16_t> luminance(pixels);
    std::vector<int16_t> chroma(2 * pixels);
    std::atomic<bool> abort{false};
    std::atomic<int> percent{0};
    timeAndMeasure(bm, pixels, [&] {
        percent = 0;
        return computeSourcePlanes(working, luminance.data(), chroma.data(), abort, percent);
    });
    bm.counters["MPix/s"] = benchmark::Counter(double(pixels) * bm.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(SourcePlanes1280)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qv::bench
