#pragma once

// Shared by the benchmark programs: pipeline states with a synthetic
// luminance that has the smooth areas, edges and noise of a photo.

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/processing_context.h"
#include "engine/weight_tables.h"

namespace qv::bench {

inline std::vector<uint16_t> syntheticLuma(int width, int height)
{
    std::vector<uint16_t> plane(static_cast<std::size_t>(width) * height);
    std::mt19937 random(1);
    std::normal_distribution<float> noise(0.0f, 900.0f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / width;
            const float v = float(y) / height;
            float value = 30000.0f + 25000.0f * std::sin(6.0f * u + 3.0f * v) * std::cos(4.0f * v);
            if ((x / 97 + y / 61) % 3 == 0)
                value *= 0.45f;  // hard-edged dark blocks
            value += noise(random);
            plane[static_cast<std::size_t>(y) * width + x] =
                static_cast<uint16_t>(std::fmin(std::fmax(value, 0.0f), 65535.0f));
        }
    return plane;
}

// A state of W x H with its planes, exponent tables and luminance filled.
struct BenchImage {
    PipelineState state;
    ProcessingContext ctx;

    BenchImage(int width, int height)
    {
        if (!state.allocatePlanes(width, height) || !fillWeightTables(state))
            std::abort();
        const std::vector<uint16_t> luma = syntheticLuma(width, height);
        std::copy(luma.begin(), luma.end(), state.luminancePlane());
    }
};

}  // namespace qv::bench
