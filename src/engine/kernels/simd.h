#pragma once

#include <type_traits>

namespace qv {

// The vector loops a stage may pick, narrowest first. Every vectorised loop
// has a plain twin that gives the same bits; the plain one runs anywhere.
// A few of the hottest loops also have an AVX-512 twin (BW and VL: 32
// 16-bit lanes and lane masks).
enum class SimdLevel { Plain, Avx2, Avx512 };

// Whether the AVX2 (AVX-512) loops may run: this build has them, the
// processor has them and they have not been switched off.
bool avx2Enabled();
bool avx512Enabled();

// Allows the vector loops up to `widest` where the processor has them. For
// tests and benchmarks that compare the paths; not to be changed while a
// stage runs (stages pick their loops when they start).
void setSimdLevel(SimdLevel widest);

// Switches the vectorised loops off (false) or back on to all the processor
// has (true).
inline void setSimdEnabled(bool enabled) { setSimdLevel(enabled ? SimdLevel::Avx512 : SimdLevel::Plain); }

// The AVX2 twins live in *_avx2.cpp files (the AVX-512 ones in
// *_avx512.cpp), which the build compiles only for x86-64 targets and then
// defines QV_X86_SIMD. Elsewhere a twin is named nowhere: QV_AVX2_TWIN(kernel)
// and QV_AVX512_TWIN(kernel) stand for "no twin" (nullptr).
#ifdef QV_X86_SIMD
#define QV_AVX2_TWIN(kernel) (kernel)
#define QV_AVX512_TWIN(kernel) (kernel)
#else
#define QV_AVX2_TWIN(kernel) nullptr
#define QV_AVX512_TWIN(kernel) nullptr
#endif

// The one way a stage chooses between twins, once before its rows:
//   RowFn row = pickKernel(rowPlain, QV_AVX2_TWIN(rowAvx2));
// the AVX2 twin where there is one and it may run, else `plain`. Where only
// the bulk of a loop has a vector form, `plain` is nullptr ("no vector part").
template <class Kernel>
Kernel pickKernel(Kernel plain, std::type_identity_t<Kernel> avx2)
{
    return avx2 != nullptr && avx2Enabled() ? avx2 : plain;
}

// The same with an AVX-512 twin, picked before the others where it may run.
template <class Kernel>
Kernel pickKernel(Kernel plain, std::type_identity_t<Kernel> avx2, std::type_identity_t<Kernel> avx512)
{
    return avx512 != nullptr && avx512Enabled() ? avx512 : pickKernel(plain, avx2);
}

}  // namespace qv
