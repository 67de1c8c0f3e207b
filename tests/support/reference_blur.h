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

}  // namespace qv::test
