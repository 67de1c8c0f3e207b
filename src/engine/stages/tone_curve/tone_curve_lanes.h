#pragma once

// Internal to the tone curve: the per-pixel mapping shared by its plain and
// vector loops.

#include <cmath>
#include <cstdint>

namespace qv::tone_lanes {

// One pixel: luma v, blurred neighbourhood b, exponents = the first weight
// table, contrast 0..100.
inline uint16_t mapPixel(uint16_t v, uint16_t b, const float* exponents, int contrast)
{
    const int neighbourhood = static_cast<int>(65535.0 - b);
    const double gamma = exponents[2 * neighbourhood];
    const float x = static_cast<float>(v) / 65535.0f;
    const double p = std::pow(static_cast<double>(x), gamma);
    const int curved = static_cast<int>(p * 65535.0 * static_cast<double>(100 - contrast));
    return static_cast<uint16_t>((curved + v * contrast) / 100);
}

// Positions x .. width-1 of a row, one by one.
inline void mapPixelsFrom(int x, const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                          const float* exponents, int contrast)
{
    for (; x < width; ++x)
        out[x] = mapPixel(luma[x], blurred[x], exponents, contrast);
}

// The vector loops compute the power as exp(gamma * log x), from a table of
// log((float)v / 65535) for every v. Where the product lies within kMargin
// of an integer, the pixel is recomputed with mapPixel.
const double* lumaLogs();
inline constexpr double kMargin = 1e-4;

// The whole row, four (eight) positions at a time while they fit; give
// exactly mapPixel's values.
void mapToneCurveRowAvx2(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                         const float* exponents, int contrast);
void mapToneCurveRowAvx512(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                           const float* exponents, int contrast);

}  // namespace qv::tone_lanes
