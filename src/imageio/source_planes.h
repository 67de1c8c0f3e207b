#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

class Bitmap;

// The pipeline's starting planes from a 48-bit bitmap: luminance Y (uint16)
// and the scaled colour differences U, V (int16 pairs), each computed in
// single precision and truncated toward zero.
struct SourcePixelPlanes {
    uint16_t luminance;
    int16_t u;
    int16_t v;
};
SourcePixelPlanes sourcePixelPlanes(uint16_t blue, uint16_t green, uint16_t red);

// Fills both planes (width x height, contiguous) row by row, publishing
// row * 40 / height + the percentage found at the start, and testing the
// abort flag after each row. False when aborted.
bool computeSourcePlanes(const Bitmap& working, uint16_t* luminance, int16_t* chroma, const std::atomic<bool>& abort,
                         std::atomic<int>& percent);

}  // namespace qv
