#pragma once

#include <cstdint>

namespace qv {

// Each pixel's deviation from the other pixels of its window, as the light
// map and the softening's contrast map measure it. Pixel i has luminance
// luma[i]; its window holds pixels[i] pixels (at least 1 and below 2^37, the
// pixel included) of luminance sum sum[i], whole numbers held as doubles.
// The deviation is (pixels * luma - sum) / divisor, truncated toward zero,
// plus `half`, limited to 0..65535.
struct DeviationRow {
    const uint16_t* luma;
    const double* sum;
    const double* pixels;
    int count;
};

enum class DeviationDivisor {
    OtherPixels,    // pixels - 1: the deviation from the mean of the others
    QuarterWindow,  // floor((pixels - 1) / 4): a quarter of the window
};

// Where the deviations go: stored, or raising the values already there
// where they are larger.
enum class DeviationOutput { Store, Raise };

// A divisor of 0 (a window of one pixel, or under five for a quarter) is
// taken as 1. For OtherPixels the numerator is then 0 as well: the one
// pixel is its own window.
using DeviationWriter = void (*)(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                                 uint16_t* out);
void writeDeviationsPlain(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                          uint16_t* out);
// Eight pixels at a time, the rest by the plain loop; the same bits.
void writeDeviationsAvx2(const DeviationRow& row, DeviationDivisor divisor, DeviationOutput output, int half,
                         uint16_t* out);

// The AVX2 writer where it may run, else the plain one; picked once per run.
DeviationWriter deviationWriter();

}  // namespace qv
