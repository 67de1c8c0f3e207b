#include "imageio/exposure_blend.h"

#include "engine/kernels/simd.h"
#include "imageio/exposure_blend_rows.h"

namespace qv {

namespace {

void levelsPlain(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    blend_rows::levelsRow(b, rows, acc);
}

uint32_t colourPlain(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    return blend_rows::colourRow(b, rows, acc);
}

void scalePlain(const uint32_t* acc, int values, double factor, uint16_t* out16, uint8_t* out8)
{
    blend_rows::scaleRow(acc, values, factor, out16, out8);
}

}  // namespace

ExposureBlendLoops exposureBlendLoops()
{
    return {pickKernel(levelsPlain, QV_AVX2_TWIN(blend_rows::levelsAvx2)),
            pickKernel(colourPlain, QV_AVX2_TWIN(blend_rows::colourAvx2)),
            pickKernel(scalePlain, QV_AVX2_TWIN(blend_rows::scaleAvx2))};
}

void ExposureBlender::blendLevels(const uint16_t* const* rows, uint32_t* acc) const { loops.levels(*this, rows, acc); }

uint32_t ExposureBlender::blendColour(const uint16_t* const* rows, uint32_t* acc) const
{
    return loops.colour(*this, rows, acc);
}

}  // namespace qv
