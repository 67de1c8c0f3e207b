#include "support/reference_blur.h"

#include <algorithm>


namespace qv::test {

Plane referenceBlurLine(const Plane& line, const std::vector<uint32_t>& weights)
{
    const int length = static_cast<int>(line.size());
    const int half = static_cast<int>(weights.size()) / 2;
    Plane out(line.size());
    for (int x = 0; x < length; ++x) {
        uint64_t sum = 0;
        uint64_t used = 0;
        for (int k = std::max(0, x - half); k <= std::min(length - 1, x + half); ++k) {
            sum += uint64_t(weights[half + k - x]) * line[k];
            used += weights[half + k - x];
        }
        out[x] = static_cast<uint16_t>(sum / used);
    }
    return out;
}

Plane referenceBlur(const Plane& plane, int width, int height, const std::vector<uint32_t>& weights)
{
    Plane rows(plane.size());
    for (int y = 0; y < height; ++y) {
        const Plane row(plane.begin() + y * width, plane.begin() + (y + 1) * width);
        const Plane blurred = referenceBlurLine(row, weights);
        std::copy(blurred.begin(), blurred.end(), rows.begin() + y * width);
    }
    Plane out(plane.size());
    Plane column(height);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y)
            column[y] = rows[y * width + x];
        const Plane blurred = referenceBlurLine(column, weights);
        for (int y = 0; y < height; ++y)
            out[y * width + x] = blurred[y];
    }
    return out;
}

Plane randomPlane(std::size_t size, uint32_t seed, uint32_t limit)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> value(0, limit - 1);
    Plane plane(size);
    for (uint16_t& v : plane)
        v = static_cast<uint16_t>(value(random));
    return plane;
}

}  // namespace qv::test
