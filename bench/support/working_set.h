#pragma once

// Shared by the benchmark programs: timing loops that report the memory
// they worked in per pixel of the image they work on, as `bytes_per_px`.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>

#include "working_set_meter.h"

namespace qv::bench {

// The counter every benchmark reports its memory in; nothing where the
// kernel did not tell.
inline void reportBytesPerPixel(benchmark::State& bm, std::size_t bytes, std::size_t pixels)
{
    if (bytes > 0 && pixels > 0)
        bm.counters["bytes_per_px"] = double(bytes) / double(pixels);
}

// Ends a benchmark whose step failed, unless the step told why already.
inline void skipFailedStep(benchmark::State& bm)
{
    if (!bm.error_occurred())
        bm.SkipWithError("the run failed");
}

// Times `step` (true on success) once per iteration and reports the memory
// it worked in per pixel of an image of `pixels` pixels.
template <class Step>
void timeAndMeasure(benchmark::State& bm, std::size_t pixels, Step&& step)
{
    const WorkingSetMeter meter;
    for (auto _ : bm)
        if (!step()) {
            skipFailedStep(bm);
            return;
        }
    reportBytesPerPixel(bm, meter.bytes(), pixels);
}

// The same for a step that consumes its input: `setup` makes a fresh input
// before each step, untimed and before the memory is measured, so that only
// what the step reads of it counts. Reports the most any step worked in.
template <class Setup, class Step>
void timeAndMeasureEach(benchmark::State& bm, std::size_t pixels, Setup&& setup, Step&& step)
{
    std::size_t most = 0;
    for (auto _ : bm) {
        bm.PauseTiming();
        auto input = setup();
        const WorkingSetMeter meter;
        bm.ResumeTiming();
        const bool ok = step(input);
        bm.PauseTiming();
        most = std::max(most, meter.bytes());
        bm.ResumeTiming();
        if (!ok) {
            skipFailedStep(bm);
            return;
        }
    }
    reportBytesPerPixel(bm, most, pixels);
}

}  // namespace qv::bench
