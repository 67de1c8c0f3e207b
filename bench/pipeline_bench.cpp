// Whole pipeline runs on a real photo: from scratch, incremental re-runs
// after one value changed, and every built-in preset.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "photo_image.h"

namespace qv::bench {
namespace {

PhotoImage& photo(int width, int height)
{
    static std::map<std::pair<int, int>, std::unique_ptr<PhotoImage>> cache;
    auto& slot = cache[{width, height}];
    if (!slot)
        slot = std::make_unique<PhotoImage>(width, height);
    return *slot;
}

void run(benchmark::State& bm, PhotoImage& image, auto&& step)
{
    for (auto _ : bm)
        if (!step())
            bm.SkipWithError("the run failed");
    bm.counters["bytes_per_px"] = image.bytesPerPixel();
}

void FullRun(benchmark::State& bm)
{
    PhotoImage& image = photo(static_cast<int>(bm.range(0)), static_cast<int>(bm.range(1)));
    image.ctx.current = ToneSettings{};
    run(bm, image, [&] { return image.runFromScratch(); });
}
BENCHMARK(FullRun)->Args({1280, 853})->Args({4000, 3000})->Args({6000, 4000})->Unit(benchmark::kMillisecond)->UseRealTime();

// Alternates one value between two settings; every iteration is the
// incremental run that the change causes.
void Rerun(benchmark::State& bm, uint16_t ToneSettings::*field, uint16_t a, uint16_t b, ToneSettings base = {})
{
    PhotoImage& image = photo(1280, 853);
    base.*field = a;
    image.ctx.current = base;
    if (!image.runFromScratch())
        bm.SkipWithError("the first run failed");
    bool flip = false;
    run(bm, image, [&] {
        flip = !flip;
        base.*field = flip ? b : a;
        return image.apply(base);
    });
}

ToneSettings softened()
{
    ToneSettings s;
    s.Softness = 60;
    return s;
}

BENCHMARK_CAPTURE(Rerun, Saturation, &ToneSettings::Saturation, 10, 20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Rerun, Contrast, &ToneSettings::Contrast, 50, 30)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Rerun, Mode, &ToneSettings::Mode, 0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Rerun, Softness, &ToneSettings::Softness, 60, 90, softened())
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void Preset(benchmark::State& bm)
{
    PhotoImage& image = photo(1280, 853);
    const TonePreset& preset = tonePresets()[bm.range(0)];
    bm.SetLabel(presetDisplayName(preset));
    image.ctx.current = preset.settings;
    run(bm, image, [&] { return image.runFromScratch(); });
}
BENCHMARK(Preset)->DenseRange(0, kPresetCount - 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void PresetLarge(benchmark::State& bm)
{
    PhotoImage& image = photo(4000, 3000);
    const TonePreset& preset = tonePresets()[bm.range(0)];
    bm.SetLabel(presetDisplayName(preset));
    image.ctx.current = preset.settings;
    run(bm, image, [&] { return image.runFromScratch(); });
}
BENCHMARK(PresetLarge)->DenseRange(0, kPresetCount - 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace qv::bench
