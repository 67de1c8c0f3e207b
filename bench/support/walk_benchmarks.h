#pragma once

// Shared by the benchmarks of the two stages that walk a neighbourhood
// (smoothing, colour noise reduction): one way to register them.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "photo_image.h"

namespace qv::bench {

// Registers `run` with the arguments width, height, method (0 literal,
// 1 scalar, 2 vector), strength, photo: the fast methods on three photos at
// the preview size and the vector one, the program's own, at the camera size
// too; the literal walk, many times as slow, once at the preview size.
// Answers true, for use in a static initialiser.
inline bool registerWalkBenchmarks(const char* name, void (*run)(benchmark::State&),
                                   const std::vector<int64_t>& strengths, const std::vector<int64_t>& literalStrengths)
{
    auto registered = [&] {
        return benchmark::RegisterBenchmark(name, run)
            ->ArgNames({"w", "h", "method", "strength", "photo"})
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MeasureProcessCPUTime();
    };
    benchmark::internal::Benchmark* fast = registered();
    argsAtSizes(fast, {kPreviewSize}, {{1, 2}, strengths, {0, 1, 2}});
    argsAtSizes(fast, {kCameraSize}, {{2}, strengths, {0}});
    argsAtSizes(registered()->Iterations(1), {kPreviewSize}, {{0}, literalStrengths, {1}});
    return true;
}

}  // namespace qv::bench
