#include "engine/smoothing_walk.h"

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

void walkRow(const WalkRow& row, WalkBand walk, bool vector, uint16_t* results)
{
    const uint16_t* samples = row.samples->row(0);
    const std::ptrdiff_t stride = row.samples->stride();
    auto walkOne = [&](int x) {
        return trackedWalk(samples, stride, row.width, row.height, x, row.y, row.centres[x], walk, row.entries);
    };

    for (int x0 = 0; x0 < row.width; x0 += 16) {
        const int lanes = std::min(16, row.width - x0);
        uint32_t walking = 0;
        for (int l = 0; l < lanes; ++l) {
            const int x = x0 + l;
            const uint32_t centre = row.centres[x];
            if (walkKeepsCentre(centre, walk, row.lo[x], row.hi[x]))
                results[x] = static_cast<uint16_t>(centre);
            else if (!vector || centre < walk.tolerance)
                results[x] = walkOne(x);  // the vector walk has no wrap-around
            else
                walking |= 1u << l;
        }
        if (walking == 0)
            continue;
        uint16_t centres[16] = {};
        uint16_t laneResults[16];
        std::copy_n(row.centres + x0, lanes, centres);
        const WalkLanes block{row.samples->row(row.y) + x0, centres, x0, row.width,
                              x0 < row.reach || x0 + 15 + row.reach >= row.width, walking};
        walkLanesAvx2(block, row.steps, walk, laneResults);
        for (int l = 0; l < lanes; ++l)
            if (walking >> l & 1)
                results[x0 + l] = laneResults[l];
    }
}

}  // namespace qv
