#include "engine/stages/color_noise_reduction/chroma_walk.h"

#include <algorithm>

namespace qv {

int chromaWalk(const int16_t* chroma, const uint16_t* luma, int width, int height, int x, int y, int component,
               std::span<const RayEntry> rays, ChromaPass pass, int lumaTolerance)
{
    const std::size_t centre = static_cast<std::size_t>(y) * width + x;
    const int c0 = chroma[2 * centre + component];
    const int l0 = luma[centre];
    int t = c0, sum = c0, count = 1;
    const int n = static_cast<int>(rays.size());
    for (int k = 1; k < n;) {
        const RayEntry& e = rays[k];
        const int nx = x + e.dx, ny = y + e.dy;
        if (nx < 0 || nx >= width || ny < 0 || ny >= height) {
            ++k;
            continue;
        }
        const std::size_t i = static_cast<std::size_t>(ny) * width + nx;
        const int cv = chroma[2 * i + component];
        const int lv = luma[i];
        if (cv > t + pass.slew)
            t = cv - pass.slew;
        if (cv < t - pass.slew)
            t = cv + pass.slew;
        if (t < c0 - pass.tolerance || t > c0 + pass.tolerance || lv < l0 - lumaTolerance ||
            lv > l0 + lumaTolerance) {
            k += e.skip + 1;
            continue;
        }
        sum += t;
        ++count;
        ++k;
    }
    return sum / count;
}

void chromaWalkRow(const ChromaRow& row, const ColorNRParams& params, int* const results[2])
{
    const std::size_t offset = static_cast<std::size_t>(row.y) * row.width;
    const uint16_t* chroma = row.chroma + offset;
    const uint16_t* luma = row.luma + offset;
    const int lumaTol = params.lumaTolerance;
    for (int x = row.xBegin; x < row.xEnd; ++x) {
        const int c0 = chroma[x], l0 = luma[x];
        const int i = x - row.xBegin;
        const bool lumaSteady = row.lumaMin[i] + lumaTol >= l0 && row.lumaMax[i] <= l0 + lumaTol;
        for (int p = 0; p < 2; ++p) {
            const ChromaPass& pass = params.passes[p];
            const bool steady =
                lumaSteady && row.chromaMin[i] + pass.slew >= c0 && row.chromaMax[i] <= c0 + pass.slew;
            results[p][x] = steady ? c0 - 32768
                                   : chromaWalk(row.sourceChroma, row.luma, row.width, row.height, x, row.y,
                                                row.component, row.rays, pass, lumaTol);
        }
    }
}

}  // namespace qv
