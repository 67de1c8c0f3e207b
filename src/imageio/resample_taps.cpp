#include "imageio/resample_taps.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace qv {

namespace {

constexpr float kPi = 3.14159265358979323846f;

float sinc(float d)
{
    if (d == 0.0f)
        return 1.0f;
    const float pd = kPi * d;
    return std::sin(pd) / pd;
}

// Kernel half-width in source samples for the kernel stretched by 1 / scale.
int kernelRadius(ResampleKernel kernel, float scale)
{
    const float support = kernel == ResampleKernel::Lanczos3 ? 3.0f : 1.0f;
    return static_cast<int>(std::ceil(support / scale));
}

}  // namespace

float resampleKernelValue(ResampleKernel kernel, float d)
{
    if (kernel == ResampleKernel::Lanczos3)
        return d < 3.0f ? sinc(d) * sinc(d / 3.0f) : 0.0f;
    return d < 1.0f ? 2 * d * d * d - 3 * d * d + 1 : 0.0f;
}

bool ResampleTaps::build(int sourceSize, int targetSize, ResampleKernel kernel)
{
    const float scale = static_cast<float>(targetSize) / static_cast<float>(sourceSize);
    const int radius = kernelRadius(kernel, scale);
    first_.reset(new (std::nothrow) int[targetSize]);
    count_.reset(new (std::nothrow) int[targetSize]);
    sum_.reset(new (std::nothrow) float[targetSize]);
    if (!first_ || !count_ || !sum_)
        return false;

    // The tap range is trunc(x - r) .. trunc(x + r) in single precision; the
    // rounding of x + r can make it one longer than 2r + 1, so the table is
    // sized by the longest range actually met.
    rowLength_ = 0;
    for (int j = 0; j < targetSize; ++j) {
        const float x = static_cast<float>(j) / scale;
        const int from = std::max(0, static_cast<int>(x - radius));
        const int to = std::min(sourceSize - 1, static_cast<int>(x + radius));
        first_[j] = from;
        count_[j] = to - from + 1;
        rowLength_ = std::max(rowLength_, count_[j]);
    }
    weights_.reset(new (std::nothrow) float[static_cast<std::size_t>(targetSize) * rowLength_]);
    if (!weights_)
        return false;

    for (int j = 0; j < targetSize; ++j) {
        const float x = static_cast<float>(j) / scale;
        float* w = weights_.get() + static_cast<std::size_t>(j) * rowLength_;
        float sum = 0.0f;
        for (int i = 0; i < count_[j]; ++i) {
            w[i] = resampleKernelValue(kernel, scale * std::fabs(x - static_cast<float>(first_[j] + i)));
            sum += w[i];
        }
        sum_[j] = sum;
    }
    return true;
}

}  // namespace qv
