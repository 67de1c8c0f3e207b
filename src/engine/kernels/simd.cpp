#include "engine/kernels/simd.h"

#include <atomic>

namespace qv {

namespace {

bool cpuHasAvx2()
{
#ifdef QV_X86_SIMD
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

std::atomic<bool> simdWanted{true};

}  // namespace

bool avx2Enabled() { return simdWanted.load(std::memory_order_relaxed) && cpuHasAvx2(); }

void setSimdEnabled(bool enabled) { simdWanted.store(enabled, std::memory_order_relaxed); }

}  // namespace qv
