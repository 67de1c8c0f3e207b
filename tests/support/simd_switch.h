#pragma once

#include "engine/kernels/simd.h"

namespace qv::test {

// Every level of vector loops, narrowest first. On a processor without one,
// its level runs the widest narrower loops it has.
inline constexpr SimdLevel kEverySimdLevel[] = {SimdLevel::Plain, SimdLevel::Avx2, SimdLevel::Avx512};

// Allows the vector loops up to a level (or switches them all on or off)
// for its lifetime; all the processor has afterwards.
class SimdSwitch {
public:
    explicit SimdSwitch(SimdLevel widest) { setSimdLevel(widest); }
    explicit SimdSwitch(bool enabled) { setSimdEnabled(enabled); }
    ~SimdSwitch() { setSimdEnabled(true); }
    SimdSwitch(const SimdSwitch&) = delete;
    SimdSwitch& operator=(const SimdSwitch&) = delete;
};

// The kernel `pick` chooses with the vectorised loops on or off (or up to
// a level); the loops are all on again afterwards.
template <class Vectors, class Pick>
auto pickedWith(Vectors vectors, Pick pick)
{
    const SimdSwitch simd(vectors);
    return pick();
}

}  // namespace qv::test
