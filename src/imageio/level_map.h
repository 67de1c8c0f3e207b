#pragma once

#include <array>

#include "imaging/bitmap.h"

namespace qv {

// One exposure's weight per 8-bit level. While it is being built, an entry
// holds the darker neighbour's mean level for that level of the brighter
// exposure; a negative entry (kMissingLevel) means nothing was observed.
inline constexpr int kLevelCount = 256;
using LevelMap = std::array<double, kLevelCount>;
inline constexpr double kMissingLevel = -1.0;

// Estimates, for each level of the brighter 8-bit exposure, the level the
// darker one shows at the same places, weighting every sample by the square
// of the difference, then smooths the map. Only the first `width` bytes of
// each row are sampled, whatever channel they belong to. False when a bitmap
// cannot be locked or is smaller than width x height.
bool estimateLevelMap(Bitmap& brighter, Bitmap& darker, int width, int height, LevelMap& map);

// Fills the missing entries, makes the map non-decreasing and smooths it
// with sixteen passes of the filter 0.05, 0.15, 0.4, 0.9, 0.4, 0.15, 0.05
// (divided by 2.1, the entries beyond either end repeating the end entry).
void smoothLevelMap(double* map, int length);

// The first two steps of smoothLevelMap.
// Linear interpolation across every run of missing entries, from the last
// present entry on the left (0 before the first) to the next present one
// (the number `length` past the end).
void fillMissingLevels(double* map, int length);
// Right to left, every entry is lowered to at most the smallest entry on its right.
void clampLevelsMonotone(double* map, int length);

}  // namespace qv
