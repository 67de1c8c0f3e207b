// The blur passes on one thread over the luminance of a real photo.
// Arguments: width, height, sigma, vectorised (1) or plain (0).

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/kernels/gaussian_blur.h"
#include "engine/kernels/simd.h"
#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

struct PassSetup {
    int width, height;
    const uint16_t* in;
    std::vector<uint16_t> out;
    GaussianKernel kernel;
    BlurScratch scratch;

    explicit PassSetup(benchmark::State& bm)
        : width(int(bm.range(0))), height(int(bm.range(1))),
          in(photoAt(sizeArgument(bm)).state.luminancePlane()), out(std::size_t(width) * height),
          kernel(*makeGaussianKernel(float(bm.range(2))))
    {
        setSimdEnabled(bm.range(3) != 0);
        scratch = BlurScratch();  // picks the loops just switched
        bm.SetLabel(std::to_string(kernel.size()) + " taps, " + std::to_string(kernel.boxes.size()) + " boxes");
    }
    ~PassSetup() { setSimdEnabled(true); }
};

void HorizontalPass(benchmark::State& bm)
{
    PassSetup s(bm);
    timeAndMeasure(bm, s.out.size(), [&] {
        for (int y = 0; y < s.height; ++y)
            blurLine(s.in + std::size_t(y) * s.width, s.out.data() + std::size_t(y) * s.width, s.width, s.kernel,
                     s.scratch);
        benchmark::DoNotOptimize(s.out.data());
        return true;
    });
}

void VerticalPass(benchmark::State& bm)
{
    PassSetup s(bm);
    timeAndMeasure(bm, s.out.size(), [&] {
        for (int x = 0; x < s.width; x += kColumnBlock)
            blurColumns(s.in + x, s.width, s.out.data() + x, s.width, s.height, std::min(kColumnBlock, s.width - x),
                        s.kernel, s.scratch);
        benchmark::DoNotOptimize(s.out.data());
        return true;
    });
}

// Tone curve (sigma 1); region detection at DetectSH 1 and 5.
void passArguments(benchmark::internal::Benchmark* b)
{
    argsAtSizes(b, {kPreviewSize}, {{1, 6, 32}, {1, 0}});
    argsAtSizes(b, {kCameraSize}, {{1, 20, 100}, {1, 0}});
    b->ArgNames({"w", "h", "sigma", "simd"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(HorizontalPass)->Apply(passArguments);
BENCHMARK(VerticalPass)->Apply(passArguments);

}  // namespace
}  // namespace qv::bench
