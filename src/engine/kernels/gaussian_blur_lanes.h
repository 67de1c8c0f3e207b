#pragma once

// Internal to the blur: the pieces its plain and AVX2 loops share.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/kernels/gaussian_blur.h"

namespace qv::blur_lanes {

// The windows of row y of a column block, clipped to the `height` rows, as
// offsets into running sums of kColumnBlock lanes per row (first and end
// per box), and the weight they use.
template <class Acc>
inline Acc rowWindows(int y, int height, const GaussianKernel& kernel, int* bounds)
{
    Acc used = 0;
    for (const KernelBox& box : kernel.boxes) {
        const int first = std::max(y - box.radius, 0);
        const int end = std::min(y + box.radius + 1, height);
        *bounds++ = first * kColumnBlock;
        *bounds++ = end * kColumnBlock;
        used += static_cast<Acc>(box.delta) * static_cast<Acc>(end - first);
    }
    return used;
}

// A row from its padded running sums (sums[j] for j = -reach .. length +
// reach, see paddedLineSums), positions 0.. in groups of 16 while they fit;
// answers the first position not done. Needs kernel.fits32Bits().
int blurRowAvx2(const uint32_t* sums, uint16_t* out, int length, const GaussianKernel& kernel);

// A full block of kColumnBlock columns. `sums` holds (height + 1) *
// kColumnBlock values, `bounds` two per box. Needs kernel.fits32Bits().
void blurColumnBlockAvx2(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride, int height,
                         const GaussianKernel& kernel, uint32_t* sums, int* bounds);

}  // namespace qv::blur_lanes
