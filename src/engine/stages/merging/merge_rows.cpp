#include "engine/stages/merging/merge_rows.h"

#include "engine/kernels/hsl.h"
#include "engine/kernels/simd.h"

namespace qv {

void scaleChromaPixels(const MergeRow& row, bool halfway, int begin, int end)
{
    for (int x = begin; x < end; ++x) {
        float k = static_cast<float>(row.processed[x] + 256) / static_cast<float>(row.source[x] + 256);
        if (halfway)
            k = (k + 1.0f) / 2.0f;
        row.chroma[2 * x] = limitChroma(static_cast<float>(row.sourceChroma[2 * x]) * k);
        row.chroma[2 * x + 1] = limitChroma(static_cast<float>(row.sourceChroma[2 * x + 1]) * k);
    }
}

void relightPixels(const MergeRow& row, int begin, int end)
{
    const double white = row.valueScale - 1;
    const double uScale = white / 0.872;
    const double vScale = white / 1.23;
    for (int x = begin; x < end; ++x) {
        const uint16_t* bgr = row.workingBgr + 3 * x;
        Hsl hsl = rgbToHsl({bgr[2] / white, bgr[1] / white, bgr[0] / white});
        const double l = std::max(hsl.lightness, 0.0);
        hsl.lightness = std::clamp(
            1 - (1 - l) * (row.valueScale - row.processed[x]) / (row.valueScale - row.source[x]), 0.0, 1.0);
        const Rgb c = hslToRgb(hsl);
        row.chroma[2 * x] = limitChroma((-0.14713 * c.red - 0.28886 * c.green + 0.436 * c.blue) * uScale);
        row.chroma[2 * x + 1] = limitChroma((0.615 * c.red - 0.51499 * c.green - 0.10001 * c.blue) * vScale);
    }
}

void blendPixels(const MergeRow& row, const uint8_t* weights, int begin, int end)
{
    for (int x = begin; x < end; ++x) {
        const int w = weights[row.area[x]];
        row.luma[x] = static_cast<uint16_t>((w * row.luma[x] + row.source[x] * (100 - w)) / 100);
        for (int i = 2 * x; i < 2 * x + 2; ++i)
            row.chroma[i] = static_cast<int16_t>((row.sourceChroma[i] * (100 - w) + w * row.chroma[i]) / 100);
    }
}

namespace {

void scaleChromaRow(const MergeRow& row, bool halfway) { scaleChromaPixels(row, halfway, 0, row.width); }
void relightRow(const MergeRow& row) { relightPixels(row, 0, row.width); }
void blendRow(const MergeRow& row, const uint8_t* weights) { blendPixels(row, weights, 0, row.width); }

}  // namespace

MergeRowLoops MergeRowLoops::pick()
{
    return {pickKernel(scaleChromaRow, QV_AVX2_TWIN(scaleChromaRowAvx2)),
            pickKernel(relightRow, QV_AVX2_TWIN(relightRowAvx2), QV_AVX512_TWIN(relightRowAvx512)),
            pickKernel(blendRow, QV_AVX2_TWIN(blendRowAvx2))};
}

}  // namespace qv
