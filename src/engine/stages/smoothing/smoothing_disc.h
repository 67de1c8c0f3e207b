#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

// One offset of the smoothing neighbourhood with its distance from the
// centre in sixteenths of a pixel, truncated.
struct DiscEntry {
    int16_t dx;
    int16_t dy;
    uint16_t key;
};

// The smoothing neighbourhood: every offset within the radius, nearest
// first; offsets at the same key keep their row-by-row generation order.
struct SmoothingDisc {
    int radius = 0;
    std::vector<DiscEntry> entries;  // entries[0] is the centre

    // The first pass walks entries 1 .. size/4 - 1 (none when size/4 < 2).
    std::span<const DiscEntry> firstPass() const;
    // The second pass walks every entry but the centre.
    std::span<const DiscEntry> secondPass() const;
};

// max(width, height) / 75, at least 2.
int smoothingDiscRadius(int width, int height);

SmoothingDisc buildSmoothingDisc(int radius);

}  // namespace qv
