#pragma once

#include <cstdint>

#include "imageio/level_map.h"

namespace qv {

struct ExposureBlender;

// The row loops of the blending (see ExposureBlender and the scaling
// below), picked together once per merge.
struct ExposureBlendLoops {
    void (*levels)(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc);
    uint32_t (*colour)(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc);
    // One row of the result: every accumulator value times `factor`,
    // truncated, and its 8-bit twin (the same divided by 256).
    void (*scale)(const uint32_t* acc, int values, double factor, uint16_t* out16, uint8_t* out8);
};

// The AVX2 build of the loops where it may run (the same bits), else the
// plain one.
ExposureBlendLoops exposureBlendLoops();

// The two blending passes over one row of every exposure, and the final
// scaling. Rows hold 3 x width unsigned 16-bit values (blue, green, red),
// the darkest exposure first; the accumulator row holds 3 x width values
// scaled by `scale` (32767 / count).
struct ExposureBlender {
    int width = 0;
    int count = 0;
    double scale = 0.0;
    const LevelMap* maps = nullptr;  // one per exposure, darkest first
    ExposureBlendLoops loops = exposureBlendLoops();

    // Pass 1: per channel value, the level-weighted mean of all exposures
    // averaged with the darkest exposure's value.
    void blendLevels(const uint16_t* const* rows, uint32_t* acc) const;
    // Pass 2: keeps pass 1's luminance and mixes its colour with a
    // luminance-weighted colour mean that favours the darker exposures.
    // Returns the largest value written.
    uint32_t blendColour(const uint16_t* const* rows, uint32_t* acc) const;
};

}  // namespace qv
