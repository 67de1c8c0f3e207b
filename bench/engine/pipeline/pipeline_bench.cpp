// Whole pipeline runs on a real photo: from scratch, incremental re-runs
// after one value changed, and every built-in preset.

#include <benchmark/benchmark.h>

#include "photo_image.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height. A run of every stage with the default settings.
void FullRun(benchmark::State& bm)
{
    PhotoImage& image = photoAt(sizeArgument(bm));
    image.ctx.current = ToneSettings{};
    timeAndMeasure(bm, image.state.pixelCount(), [&] { return image.runFromScratch(); });
}
BENCHMARK(FullRun)
    ->Args({kPreviewSize.width, kPreviewSize.height})
    ->Args({kCameraSize.width, kCameraSize.height})
    ->Args({6000, 4000})
    ->ArgNames({"w", "h"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Arguments: width, height. Alternates one value between two settings;
// every iteration is the incremental run that the change causes.
void Rerun(benchmark::State& bm, uint16_t ToneSettings::*field, uint16_t a, uint16_t b, ToneSettings base = {})
{
    PhotoImage& image = photoAt(sizeArgument(bm));
    base.*field = a;
    image.ctx.current = base;
    if (!image.runFromScratch()) {
        bm.SkipWithError("the first run failed");
        return;
    }
    bool flip = false;
    timeAndMeasure(bm, image.state.pixelCount(), [&] {
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

// At the preview size.
void previewRerun(benchmark::internal::Benchmark* b)
{
    b->Args({kPreviewSize.width, kPreviewSize.height})
        ->ArgNames({"w", "h"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}
BENCHMARK_CAPTURE(Rerun, Saturation, &ToneSettings::Saturation, 10, 20)->Apply(previewRerun);
BENCHMARK_CAPTURE(Rerun, Contrast, &ToneSettings::Contrast, 50, 30)->Apply(previewRerun);
BENCHMARK_CAPTURE(Rerun, Mode, &ToneSettings::Mode, 0, 1)->Apply(previewRerun);
BENCHMARK_CAPTURE(Rerun, Softness, &ToneSettings::Softness, 60, 90, softened())->Apply(previewRerun);

// Arguments: width, height, preset index.
void Preset(benchmark::State& bm)
{
    PhotoImage& image = photoAt(sizeArgument(bm));
    const TonePreset& preset = tonePresets()[bm.range(2)];
    bm.SetLabel(presetDisplayName(preset));
    image.ctx.current = preset.settings;
    timeAndMeasure(bm, image.state.pixelCount(), [&] { return image.runFromScratch(); });
}
void everyPresetAt(benchmark::internal::Benchmark* b, ImageSize size)
{
    argsAtSizes(b, {size}, {benchmark::CreateDenseRange(0, kPresetCount - 1, 1)});
    b->ArgNames({"w", "h", "preset"})->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(Preset)->Apply([](benchmark::internal::Benchmark* b) { everyPresetAt(b, kPreviewSize); });
BENCHMARK(Preset)->Apply([](benchmark::internal::Benchmark* b) { everyPresetAt(b, kCameraSize); })->Iterations(1);

}  // namespace
}  // namespace qv::bench
