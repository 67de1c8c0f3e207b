#pragma once

// Shared by the benchmarks of the stages after the tone curve: a bench
// image whose colour planes, area plane, processed luma and working bitmap
// are filled from the synthetic luminance as well.

#include <algorithm>
#include <memory>

#include "bench_planes.h"

namespace qv::bench {

inline std::unique_ptr<BenchImage> lateStageImage(int width, int height)
{
    auto image = std::make_unique<BenchImage>(width, height);
    PipelineState& state = image->state;
    state.working = Bitmap::create(width, height, PixelFormat::Bgr48);
    state.output = Bitmap::create(width, height, PixelFormat::Bgr24);
    if (!state.working || !state.output)
        std::abort();
    const uint16_t* luma = state.luminancePlane();
    for (int y = 0; y < height; ++y) {
        uint16_t* bgr = state.working->row16(y);
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            // Neighbouring samples stand in for colour and processed values.
            const int here = luma[i];
            const int right = luma[y * std::size_t(width) + std::min(x + 1, width - 1)];
            const int below = luma[std::min(y + 1, height - 1) * std::size_t(width) + x];
            bgr[3 * x] = static_cast<uint16_t>(below);
            bgr[3 * x + 1] = static_cast<uint16_t>(here);
            bgr[3 * x + 2] = static_cast<uint16_t>(right);
            const int16_t u = static_cast<int16_t>((below - here) / 2);
            const int16_t v = static_cast<int16_t>((right - here) / 2);
            state.sourceChromaPlane()[2 * i] = state.mergedChroma()[2 * i] = u;
            state.sourceChromaPlane()[2 * i + 1] = state.mergedChroma()[2 * i + 1] = v;
            state.region.as<uint16_t>()[i] = static_cast<uint16_t>((here + right + below) / 3);
            state.curvePlane()[i] = state.mergedLuma()[i] = static_cast<uint16_t>(65535 - here);
        }
    }
    return image;
}

}  // namespace qv::bench
