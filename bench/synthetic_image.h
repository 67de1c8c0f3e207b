#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "engine/processing_context.h"

namespace qv::bench {

// A state of the given size whose planes hold a photo-like picture: smooth
// gradients with a little noise, and the matching working and output bitmaps.
inline std::unique_ptr<PipelineState> syntheticState(int w, int h)
{
    auto state = std::make_unique<PipelineState>();
    if (!state->allocatePlanes(w, h))
        return nullptr;
    state->working = Bitmap::create(w, h, PixelFormat::Bgr48);
    state->output = Bitmap::create(w, h, PixelFormat::Bgr24);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-600, 600);
    auto smooth = [&](int x, int y, int phase) {
        const int v = (x * 40000 / w + y * 20000 / h + phase) % 65536 + noise(rng);
        return static_cast<uint16_t>(std::clamp(v, 0, 65535));
    };
    for (int y = 0; y < h; ++y) {
        uint16_t* bgr = state->working->row16(y);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            for (int c = 0; c < 3; ++c)
                bgr[3 * x + c] = smooth(x, y, c * 9000);
            state->luminancePlane()[i] = smooth(x, y, 3000);
            state->sourceChromaPlane()[2 * i] = static_cast<int16_t>(smooth(x, y, 0) / 8 - 4096);
            state->sourceChromaPlane()[2 * i + 1] = static_cast<int16_t>(smooth(y, x, 0) / 8 - 4096);
            state->region.as<uint16_t>()[i] = smooth(x / 8, y / 8, 1000);
            state->curvePlane()[i] = smooth(x, y, 5000);
            state->mergedLuma()[i] = smooth(x, y, 7000);
            state->mergedChroma()[2 * i] = state->sourceChromaPlane()[2 * i];
            state->mergedChroma()[2 * i + 1] = state->sourceChromaPlane()[2 * i + 1];
        }
    }
    return state;
}

}  // namespace qv::bench
