#pragma once

#include <type_traits>

namespace qv {

// Whether the AVX2 loops may run: this build has them, the processor has
// AVX2 and they have not been switched off. Every vectorised loop has a
// plain twin that gives the same bits; the plain one runs anywhere.
bool avx2Enabled();

// Switches the vectorised loops off (false) or back on where the processor
// has them (true). For tests and benchmarks that compare both paths; not to
// be changed while a stage runs (stages pick their loops when they start).
void setSimdEnabled(bool enabled);

// The AVX2 twins live in *_avx2.cpp files, which the build compiles only
// for x86-64 targets and then defines QV_X86_SIMD. Elsewhere a twin is named
// nowhere: QV_AVX2_TWIN(kernel) stands for "no twin" (nullptr).
#ifdef QV_X86_SIMD
#define QV_AVX2_TWIN(kernel) (kernel)
#else
#define QV_AVX2_TWIN(kernel) nullptr
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

}  // namespace qv
