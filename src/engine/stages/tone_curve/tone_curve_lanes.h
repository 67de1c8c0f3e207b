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

// The constants of e^z for z <= 0 in the vector loops, the same in every
// twin: z = n ln2 + r with ln2 in two parts (the high one's low 21 bits
// zero, so that n * kLn2High is exact), e^r by its Taylor series to r^11,
// and z no lower than kLowestExponent (e^-700 truncates to 0 alike).
namespace exp_series {
inline constexpr double kLn2High = 6.93147180369123816490e-01;
inline constexpr double kLn2Low = 1.90821492927058770002e-10;
inline constexpr double kLog2E = 1.4426950408889634;
inline constexpr double kLowestExponent = -700.0;
// 1 / k! for k = 0 .. 11.
inline constexpr double kTerms[12] = {1.0,       1.0,         1.0 / 2,      1.0 / 6,       1.0 / 24,       1.0 / 120,
                                      1.0 / 720, 1.0 / 5040, 1.0 / 40320, 1.0 / 362880, 1.0 / 3628800, 1.0 / 39916800};
}  // namespace exp_series

// The whole row, four (eight) positions at a time while they fit; give
// exactly mapPixel's values.
void mapToneCurveRowAvx2(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                         const float* exponents, int contrast);
void mapToneCurveRowAvx512(const uint16_t* luma, const uint16_t* blurred, uint16_t* out, int width,
                           const float* exponents, int contrast);

}  // namespace qv::tone_lanes
