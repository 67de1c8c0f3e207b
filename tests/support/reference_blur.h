#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace qv::test {

using Plane = std::vector<uint16_t>;

// The blur of a line by its definition: the kernel centred on each
// position, the taps that fall inside the line, divided by their sum.
Plane referenceBlurLine(const Plane& line, const std::vector<uint32_t>& weights);

// Rows, then columns, each by referenceBlurLine.
Plane referenceBlur(const Plane& plane, int width, int height, const std::vector<uint32_t>& weights);

// A plane of uniformly random values below `limit`, from a fixed seed.
Plane randomPlane(std::size_t size, uint32_t seed, uint32_t limit = 65536);

// Switches the vectorised loops on or off for its lifetime.
class SimdSwitch {
public:
    explicit SimdSwitch(bool enabled);
    ~SimdSwitch();
    SimdSwitch(const SimdSwitch&) = delete;
    SimdSwitch& operator=(const SimdSwitch&) = delete;
};

// The kernel `pick` chooses with the vectorised loops on or off; the loops
// are on again afterwards.
template <class Pick>
auto pickedWith(bool vectors, Pick pick)
{
    const SimdSwitch simd(vectors);
    return pick();
}

}  // namespace qv::test
