#include "engine/kernels/simd.h"

#include <atomic>

namespace qv {

namespace {

// The widest level the processor (and its operating system, which must save
// the wider registers) supports.
SimdLevel cpuLevel()
{
#ifdef QV_X86_SIMD
    static const SimdLevel level = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                           __builtin_cpu_supports("avx512vl")
                                       ? SimdLevel::Avx512
                                   : __builtin_cpu_supports("avx2") ? SimdLevel::Avx2
                                                                    : SimdLevel::Plain;
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
