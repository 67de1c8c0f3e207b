#pragma once

#include <cstdint>

namespace qv {

// One neighbour of the colour noise reduction's ray list.
struct RayEntry {
    int16_t skip;
    int16_t dx;
    int16_t dy;
    int16_t distance;
};
inline constexpr int kRayListCapacity = 289;

// Fills `list` with the neighbours the colour noise reduction visits: rays
// from the centre at angles 0, step, 2*step, ... below 360 (in radians, the
// angle wrapping at 360), each sampled at steps of one pixel out to `radius`;
// a cell enters the list the first time a ray passes through it, with its
// distance along that ray in sixteenths of a pixel. Each entry's skip is the
// length of the run of entries, from it on, no nearer than it. Returns the
// number of entries, at most `capacity`; the first is the centre.
int buildRayList(RayEntry* list, float startAngle, int radius, int capacity, float angleStep);

}  // namespace qv
