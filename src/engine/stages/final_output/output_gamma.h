#pragma once

#include <cstdint>

namespace qv {

// The output gamma setting's range; 6 is neutral.
inline constexpr int kMaxOutputGamma = 13;
inline constexpr int kNeutralOutputGamma = 6;

// The exponent applied to normalised luma for a `Gamma` of 0..13.
float outputGammaExponent(int gamma);

// 65535 * (y / 65535)^e in single precision; y itself at the neutral setting.
float applyOutputGamma(uint16_t y, int gamma);

// applyOutputGamma for every y, built on first use and kept for the life of
// the program (one table per setting). nullptr for a gamma outside 0..13 or
// when the table could not be allocated.
const float* outputGammaTable(int gamma);

}  // namespace qv
