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
inline SourcePixelPlanes sourcePixelPlanes(uint16_t blue, uint16_t green, uint16_t red)
{
    const float b = blue;
    const float g = green;
    const float r = red;
    const float u = ((0.436f * b - 0.28886f * g) - 0.14713f * r) / 0.872f;
    const float v = (0.615f * r - (0.10001f * b + 0.51499f * g)) / 1.23f;
    const float y = (0.299f * r + 0.114f * b) + 0.587f * g;
    // Over 0..65535 inputs U and V stay within +-32767.5 and Y within
    // 65535.x, so truncation alone keeps them in their 16-bit ranges.
    return {static_cast<uint16_t>(static_cast<int>(y)), static_cast<int16_t>(static_cast<int>(u)),
            static_cast<int16_t>(static_cast<int>(v))};
}

// One row of both planes from `width` pixels of blue, green, red.
using SourcePlaneRow = void (*)(const uint16_t* bgr, int width, uint16_t* luminance, int16_t* chroma);
void sourcePlaneRowPlain(const uint16_t* bgr, int width, uint16_t* luminance, int16_t* chroma);
// Eight pixels at a time, the same bits.
void sourcePlaneRowAvx2(const uint16_t* bgr, int width, uint16_t* luminance, int16_t* chroma);
SourcePlaneRow sourcePlaneRow();

// Fills both planes (width x height, contiguous) row by row on up to
// `workers` threads, publishing row * 40 / height + the percentage found at
// the start before each row (the largest figure so far), and testing the
// abort flag after each row. False when aborted.
bool computeSourcePlanes(const Bitmap& working, uint16_t* luminance, int16_t* chroma, const std::atomic<bool>& abort,
                         std::atomic<int>& percent, int workers = 1);

}  // namespace qv
