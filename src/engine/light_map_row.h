#pragma once

#include <cstdint>

namespace qv {

// Internal to the light stage: one row segment of a light-map level.
// Pixel i has luminance luma[i], and its window holds count[i] pixels
// (at least 1, the pixel included) of luminance sum sum[i]; both are whole
// numbers below 2^53, held as doubles. The pixel's deviation from the mean
// of the other pixels of its window, (count * luma - sum) / (count - 1)
// truncated toward zero (0 for a window of one pixel, which has no other
// pixels), plus `half`, limited to 0..65535, raises map[i] where it is larger.
void raiseLightMapRow(const uint16_t* luma, const double* sum, const double* count, int half, uint16_t* map, int n);

// The same without vector instructions; gives the same bits.
void raiseLightMapRowPlain(const uint16_t* luma, const double* sum, const double* count, int half, uint16_t* map,
                           int n);

}  // namespace qv
