#pragma once

// Shared by the benchmarks of the two stages that walk a neighbourhood
// (smoothing, colour noise reduction): one way to register them.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/kernels/simd.h"
#include "engine/kernels/walk_method.h"
#include "photo_image.h"

namespace qv::bench {

// The method argument of a walk benchmark: 0 walks literally, 1 to 3 take
// the shortcuts, 1 on the plain loops, 2 on the AVX2 ones and 3 on the
// widest the processor has, the program's own (all switched back on when it
// ends).
class WalkMethodArgument {
public:
    explicit WalkMethodArgument(int64_t argument)
        : method(argument == 0 ? WalkMethod::Literal : WalkMethod::Shortcut)
    {
        setSimdLevel(argument == 1 ? SimdLevel::Plain : argument == 2 ? SimdLevel::Avx2 : SimdLevel::Avx512);
    }
    ~WalkMethodArgument() { setSimdEnabled(true); }
    WalkMethodArgument(const WalkMethodArgument&) = delete;
    WalkMethodArgument& operator=(const WalkMethodArgument&) = delete;

    const WalkMethod method;
};

// Registers `run` with the arguments width, height, method (0 literal,
// 1 plain, 2 AVX2, 3 widest), strength, photo: the fast methods on three
// photos at the preview size and the widest one, the program's own, at the
// camera size too; the literal walk, many times as slow, once at the preview
// size.
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
    argsAtSizes(fast, {kPreviewSize}, {{1, 2, 3}, strengths, {0, 1, 2}});
    argsAtSizes(fast, {kCameraSize}, {{3}, strengths, {0}});
    argsAtSizes(registered()->Iterations(1), {kPreviewSize}, {{0}, literalStrengths, {1}});
    return true;
}

}  // namespace qv::bench
