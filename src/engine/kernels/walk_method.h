#pragma once

namespace qv {

// How a stage computes its neighbourhood walks; both give the same result.
// `Literal` walks every pixel one by one; `Shortcut` sets the walks whose
// result is known without walking and walks the rest, 16 pixels at once
// where the AVX2 loops may run (see simd.h).
enum class WalkMethod { Literal, Shortcut };

}  // namespace qv
