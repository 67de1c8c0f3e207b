#include "engine/stages/smoothing/smoothing_walk.h"

#include <algorithm>

namespace qv {

uint16_t trackedWalk(const uint16_t* samples, std::ptrdiff_t stride, int width, int height, int x, int y,
                     uint32_t centre, WalkBand walk, std::span<const DiscEntry> entries)
{
    uint64_t sum = centre;
    uint32_t count = 1;
    uint32_t t = centre;
    for (const DiscEntry& e : entries) {
        const int nx = x + e.dx, ny = y + e.dy;
        if (nx < 0 || nx >= width || ny < 0 || ny >= height)
            continue;
        const uint32_t v = samples[ny * stride + nx];
        if (v > t + walk.tolerance)
            t = v - walk.tolerance;
        else if (v < t - walk.tolerance)
            t = v + walk.tolerance;
        if (t < centre - walk.band || t > centre + walk.band)
            break;
        sum += t;
        ++count;
    }
    return static_cast<uint16_t>(sum / count);
}

void walkRow(const WalkRow& row, WalkBand walk, uint16_t* results)
{
    for (int x = 0; x < row.width; ++x) {
        const uint32_t centre = row.centres[x];
        results[x] = walkKeepsCentre(centre, walk, row.lo[x], row.hi[x])
                         ? static_cast<uint16_t>(centre)
                         : trackedWalk(row.samples, row.width, row.width, row.height, x, row.y, centre, walk,
                                       row.entries);
    }
}

}  // namespace qv
