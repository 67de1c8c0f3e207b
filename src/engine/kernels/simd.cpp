#include "engine/kernels/simd.h"

#include <atomic>

namespace qv {

namespace {

// The widest level the processor (and its operating system, which must save
// the wider registers: __builtin_cpu_supports checks both) supports. Each
// level includes the narrower ones, so the AVX-512 level also needs AVX2,
// which its loops use and which a virtual machine could hide on its own.
SimdLevel cpuLevel()
{
#ifdef QV_X86_SIMD
    static const SimdLevel level = [] {
        if (!__builtin_cpu_supports("avx2"))
            return SimdLevel::Plain;
        const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl");
        return avx512 ? SimdLevel::Avx512 : SimdLevel::Avx2;
    }();
    return level;
#else
    return SimdLevel::Plain;
#endif
}

std::atomic<SimdLevel> widestWanted{SimdLevel::Avx512};

bool enabled(SimdLevel level)
{
    return level <= widestWanted.load(std::memory_order_relaxed) && level <= cpuLevel();
}

}  // namespace

bool avx2Enabled() { return enabled(SimdLevel::Avx2); }

bool avx512Enabled() { return enabled(SimdLevel::Avx512); }

void setSimdLevel(SimdLevel widest) { widestWanted.store(widest, std::memory_order_relaxed); }

}  // namespace qv
