#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/stages/smoothing/smoothing_disc.h"

namespace qv {

// A tracked walk follows the samples with a tracker that ignores moves
// within `tolerance` and ends once the tracker leaves centre +- `band`.
struct WalkBand {
    uint32_t tolerance;
    uint32_t band;
};

// The walk at (x, y) over `entries` in order, on the width x height plane
// whose row 0 starts at `samples`: the mean of the centre value and of the
// tracker after each sample taken. Comparisons are unsigned 32-bit, so a
// centre below the band or a tracker below the tolerance wraps around: the
// first then ends the walk at its first sample, the second pulls the
// tracker up to sample + tolerance.
uint16_t trackedWalk(const uint16_t* samples, std::ptrdiff_t stride, int width, int height, int x, int y,
                     uint32_t centre, WalkBand walk, std::span<const DiscEntry> entries);

// True when the walk's result is the centre itself without walking: a
// centre below the band ends the walk at once, and a tracker that no sample
// can move (every sample within the tolerance of the centre; lo and hi are
// the least and greatest sample the walk can meet) adds only the centre.
inline bool walkKeepsCentre(uint32_t centre, WalkBand walk, uint32_t lo, uint32_t hi)
{
    if (centre < walk.band)
        return true;
    return centre >= walk.tolerance && lo + walk.tolerance >= centre && hi <= centre + walk.tolerance;
}

// One entry as an address offset in the sample plane.
struct WalkStep {
    int32_t offset;  // dy * width + dx
    int16_t dx;
    int16_t dy;
};

// Everything the walks of one image row read.
struct WalkRow {
    const uint16_t* samples;  // the width x height sample plane, rows `width` apart
    int width;
    int height;
    int y;
    const uint16_t* centres;  // the walk's centre value per column
    const uint16_t* lo;       // least sample each pixel's walk can meet
    const uint16_t* hi;       // greatest
    std::span<const DiscEntry> entries;  // the pass's entries
    std::span<const WalkStep> steps;     // the same without rows outside the image
    int reach;                           // largest |dx| of the entries
    int rowsUp;                          // largest -dy
    int rowsDown;                        // largest dy
};

// The walk results of a whole row: the known ones set directly, the others
// walked; the AVX2 twin walks 16 pixels at once, the AVX-512 one 32.
using WalkRowFn = void (*)(const WalkRow& row, WalkBand walk, uint16_t* results);
void walkRow(const WalkRow& row, WalkBand walk, uint16_t* results);
void walkRowAvx2(const WalkRow& row, WalkBand walk, uint16_t* results);
void walkRowAvx512(const WalkRow& row, WalkBand walk, uint16_t* results);

}  // namespace qv
