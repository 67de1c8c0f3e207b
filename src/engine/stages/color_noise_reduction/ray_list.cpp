#include "engine/stages/color_noise_reduction/ray_list.h"

#include <cmath>
#include <vector>

namespace qv {

int buildRayList(RayEntry* list, float startAngle, int radius, int capacity, float angleStep)
{
    // Distances and skips are 16-bit.
    if (radius < 0 || radius > 2047 || capacity <= 0 || capacity > 32767 || !(angleStep > 0.0f))
        return 0;
    const int side = 2 * radius + 1;
    std::vector<bool> visited(static_cast<std::size_t>(side) * side, false);
    int count = 0;
    float theta = 0.0f;
    while (theta < 360.0f) {
        float h = startAngle + theta;
        if (h >= 360.0f)
            h -= 360.0f;
        const float mx = static_cast<float>(std::cos(static_cast<double>(h)) * radius);
        const float my = static_cast<float>(std::sin(static_cast<double>(h)) * radius);
        const float len = std::sqrt(mx * mx + my * my);
        const float step = 1.0f / len;
        for (float u = 0.0f; u <= 1.0f; u += step) {
            const int dx = static_cast<int>(u * mx);
            const int dy = static_cast<int>(u * my);
            const std::size_t cell = static_cast<std::size_t>(dy + radius) * side + (dx + radius);
            if (visited[cell] || count >= capacity)
                continue;
            list[count++] = {0, static_cast<int16_t>(dx), static_cast<int16_t>(dy),
                             static_cast<int16_t>(static_cast<int>(u * static_cast<float>(radius) * 16.0f))};
            visited[cell] = true;
        }
        const float next = theta + angleStep;
        if (next == theta)  // a step too small to move the angle on
            break;
        theta = next;
    }
    for (int k = 0; k < count; ++k) {
        int end = k;
        while (end < count && list[end].distance >= list[k].distance)
            ++end;
        list[k].skip = static_cast<int16_t>(end - k);
    }
    return count;
}

}  // namespace qv
