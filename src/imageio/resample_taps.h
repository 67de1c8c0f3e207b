#pragma once

#include <memory>

namespace qv {

enum class ResampleKernel { Cubic, Lanczos3 };

// The kernel value at distance d (d >= 0): Lanczos-3 sinc(d) * sinc(d / 3)
// below 3, the cubic 2d^3 - 3d^2 + 1 below 1, zero beyond.
float resampleKernelValue(ResampleKernel kernel, float d);

// The filter of one resampling pass from `sourceSize` to `targetSize`
// positions (a reduction): for each target position its first source index,
// its tap count, its weights in source order and their sum, all computed in
// single precision.
class ResampleTaps {
public:
    // False when the weight table cannot be allocated.
    bool build(int sourceSize, int targetSize, ResampleKernel kernel);

    int first(int position) const { return first_[position]; }
    int count(int position) const { return count_[position]; }
    const float* weights(int position) const { return weights_.get() + static_cast<std::size_t>(position) * rowLength_; }
    // The weights added from the first tap to the last, as the passes divide by it.
    float weightSum(int position) const { return sum_[position]; }

private:
    std::unique_ptr<int[]> first_;
    std::unique_ptr<int[]> count_;
    std::unique_ptr<float[]> sum_;
    std::unique_ptr<float[]> weights_;
    int rowLength_ = 0;
};

}  // namespace qv
