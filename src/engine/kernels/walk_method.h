#pragma once

#include "engine/kernels/simd.h"

namespace qv {

// How a stage computes its neighbourhood walks; all give the same result.
// `Literal` walks every pixel one by one; `Scalar` sets the walks whose
// result is known without walking and walks the rest one by one; `Vector`
// also walks 16 pixels at once (AVX2).
enum class WalkMethod { Literal, Scalar, Vector };

// `Vector` falls back to `Scalar` where the AVX2 loops may not run.
inline WalkMethod usableWalkMethod(WalkMethod method)
{
    return method == WalkMethod::Vector && !avx2Enabled() ? WalkMethod::Scalar : method;
}

}  // namespace qv
