// The display panels after a run: the thumbnail (the cubic reduction of the
// whole output) and the histogram picture with its stretch, on the output of
// a real photo; and the monitor-profile conversion of one screen-sized view.

#include <benchmark/benchmark.h>

#include "engine/stages/final_output/histogram_plot.h"
#include "support/test_profiles.h"
#include "photo_image.h"
#include "ui/histogram_panel.h"
#include "ui/monitor_profile.h"
#include "ui/thumbnail_panel.h"
#include "working_set.h"

namespace qv::bench {
namespace {

// Arguments: width, height of the output.
void ThumbnailPanel(benchmark::State& bm)
{
    PipelineState& state = processedPhotoAt(sizeArgument(bm)).state;
    timeAndMeasure(bm, state.pixelCount(), [&] { return !renderThumbnail(*state.output, QSize(152, 108)).isNull(); });
}
BENCHMARK(ThumbnailPanel)
    ->Apply([](benchmark::internal::Benchmark* b) { argsAtSizes(b, {kPreviewSize, kCameraSize}); })
    ->ArgNames({"w", "h"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void HistogramPanel(benchmark::State& bm)
{
    const Histograms& histograms = processedPhotoAt(kPreviewSize).state.histograms;
    for (auto _ : bm)
        benchmark::DoNotOptimize(stretchHistogram(renderHistogram(histogramPlot(histograms)), QSize(152, 72)));
}
BENCHMARK(HistogramPanel)->Unit(benchmark::kMicrosecond);

// A 1920 x 1080 view of the photo's output converted for the monitor.
void MonitorConversion(benchmark::State& bm)
{
    const auto profile = MonitorProfile::fromIcc(test::gammaProfileBytes());
    const Bitmap& output = *processedPhotoAt({1920, 1080}).state.output;
    const QImage view = QImage(output.bits(), output.width(), output.height(), output.stride(), QImage::Format_BGR888)
                            .convertToFormat(QImage::Format_RGB32);
    for (auto _ : bm)
        benchmark::DoNotOptimize(profile->convert(view));
    bm.counters["px"] = double(view.width()) * view.height();
}
BENCHMARK(MonitorConversion)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace qv::bench
