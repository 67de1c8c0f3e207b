// The blur passes on one thread over a whole plane.
// Arguments: width, height, sigma, vectorised (1) or plain (0).

#include <benchmark/benchmark.h>

#include "bench_planes.h"
#include "engine/gaussian_blur.h"
#include "engine/simd.h"

namespace {

using namespace qv;

struct PassSetup {
    int width, height;
    std::vector<uint16_t> in, out;
    GaussianKernel kernel;
    BlurScratch scratch;

    explicit PassSetup(benchmark::State& st)
        : width(int(st.range(0))), height(int(st.range(1))), in(bench::syntheticLuma(width, height)), out(in.size()),
          kernel(*makeGaussianKernel(float(st.range(2))))
    {
        setSimdEnabled(st.range(3) != 0);
        st.SetLabel(std::to_string(kernel.size()) + " taps, " + std::to_string(kernel.boxes.size()) + " boxes");
    }
    ~PassSetup() { setSimdEnabled(true); }
};

void BM_HorizontalPass(benchmark::State& st)
{
    PassSetup s(st);
    for (auto _ : st) {
        for (int y = 0; y < s.height; ++y)
            blurLine(s.in.data() + std::size_t(y) * s.width, s.out.data() + std::size_t(y) * s.width, s.width, s.kernel,
                     s.scratch);
        benchmark::DoNotOptimize(s.out.data());
    }
    st.SetItemsProcessed(st.iterations() * s.in.size());
}

void BM_VerticalPass(benchmark::State& st)
{
    PassSetup s(st);
    for (auto _ : st) {
        for (int x = 0; x < s.width; x += kColumnBlock)
            blurColumns(s.in.data() + x, s.width, s.out.data() + x, s.width, s.height,
                        std::min(kColumnBlock, s.width - x), s.kernel, s.scratch);
        benchmark::DoNotOptimize(s.out.data());
    }
    st.SetItemsProcessed(st.iterations() * s.in.size());
}

// Tone curve (sigma 1); region detection at DetectSH 1 and 5.
void passArguments(benchmark::internal::Benchmark* b)
{
    for (int simd : {1, 0}) {
        for (int sigma : {1, 6, 32})
            b->Args({1280, 853, sigma, simd});
        for (int sigma : {1, 20, 100})
            b->Args({4000, 3000, sigma, simd});
    }
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_HorizontalPass)->Apply(passArguments);
BENCHMARK(BM_VerticalPass)->Apply(passArguments);

}  // namespace
