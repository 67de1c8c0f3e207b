#pragma once

#include "engine/cpu_features.h"

namespace qv {

// How a stage computes its neighbourhood walks; all give the same result.
// `Literal` walks every pixel one by one; `Scalar` sets the walks whose
// result is known without walking and walks the rest one by one; `Vector`
// also walks 16 pixels at once (AVX2).
enum class WalkMethod { Literal, Scalar, Vector };

// `Vector` falls back to `Scalar` where the processor lacks AVX2.
inline WalkMethod usableWalkMethod(WalkMethod method)
{
    return method == WalkMethod::Vector && !cpuHasAvx2() ? WalkMethod::Scalar : method;
}

}  // namespace qv
