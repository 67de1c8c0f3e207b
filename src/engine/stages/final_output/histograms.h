#pragma once

#include <array>
#include <cstdint>

namespace qv {

// Red, green, blue and combined histograms of the final output, each with
// the number of pixels it counted.
struct Histograms {
    std::array<uint32_t, 256> red{}, green{}, blue{}, combined{};
    uint32_t redCount = 0, greenCount = 0, blueCount = 0, combinedCount = 0;
};

}  // namespace qv
