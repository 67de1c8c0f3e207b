// The blending loops built for AVX2: the same source as the plain ones, so
// the compiler's vectors do the same arithmetic value by value.

#include "engine/kernels/simd_avx2.h"
#include "imageio/exposure_blend_rows.h"

namespace qv::blend_rows {

QV_AVX2 void levelsAvx2(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    levelsRow(b, rows, acc);
}

QV_AVX2 uint32_t colourAvx2(const ExposureBlender& b, const uint16_t* const* rows, uint32_t* acc)
{
    return colourRow(b, rows, acc);
}

QV_AVX2 void scaleAvx2(const uint32_t* acc, int values, double factor, uint16_t* out16, uint8_t* out8)
{
    scaleRow(acc, values, factor, out16, out8);
}

}  // namespace qv::blend_rows
