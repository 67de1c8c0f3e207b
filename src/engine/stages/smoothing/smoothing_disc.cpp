#include "engine/stages/smoothing/smoothing_disc.h"

#include <algorithm>
#include <cmath>

namespace qv {

int smoothingDiscRadius(int width, int height)
{
    return std::max(std::max(width, height) / 75, 2);
}

SmoothingDisc buildSmoothingDisc(int radius)
{
    SmoothingDisc disc;
    disc.radius = radius;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            if (d <= radius)
                disc.entries.push_back({static_cast<int16_t>(dx), static_cast<int16_t>(dy),
                                        static_cast<uint16_t>(static_cast<int>(d * 16))});
        }
    }
    std::stable_sort(disc.entries.begin(), disc.entries.end(),
                     [](const DiscEntry& a, const DiscEntry& b) { return a.key < b.key; });
    return disc;
}

std::span<const DiscEntry> SmoothingDisc::firstPass() const
{
    const std::size_t end = entries.size() / 4;
    if (end < 2)
        return {};
    return std::span<const DiscEntry>(entries).subspan(1, end - 1);
}

std::span<const DiscEntry> SmoothingDisc::secondPass() const
{
    return std::span<const DiscEntry>(entries).subspan(1);
}

}  // namespace qv
