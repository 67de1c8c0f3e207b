#include "engine/stages/merging/relight_row.h"

#include <algorithm>

#include "engine/kernels/hsl.h"
#include "engine/kernels/simd.h"

namespace qv {

void relightPixels(const RelightRow& row, int begin, int end)
{
    const double white = row.valueScale - 1;
    const double uScale = white / 0.872;
    const double vScale = white / 1.23;
    for (int x = begin; x < end; ++x) {
        const uint16_t* bgr = row.bgr + 3 * x;
        Hsl hsl = rgbToHsl({bgr[2] / white, bgr[1] / white, bgr[0] / white});
        const double l = std::max(hsl.lightness, 0.0);
        hsl.lightness = std::clamp(
            1 - (1 - l) * (row.valueScale - row.processed[x]) / (row.valueScale - row.source[x]), 0.0, 1.0);
        const Rgb c = hslToRgb(hsl);
        row.chroma[2 * x] = limitChroma((-0.14713 * c.red - 0.28886 * c.green + 0.436 * c.blue) * uScale);
        row.chroma[2 * x + 1] = limitChroma((0.615 * c.red - 0.51499 * c.green - 0.10001 * c.blue) * vScale);
    }
}

void relightRowPlain(const RelightRow& row) { relightPixels(row, 0, row.width); }

RelightRowFn relightRowFn() { return pickKernel(relightRowPlain, QV_AVX2_TWIN(relightRowAvx2)); }

}  // namespace qv
