#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "imageio/resample_taps.h"

namespace qv {

// Three interleaved channels per pixel (in the bitmap's order), rows
// `stride` bytes apart.
template <class Sample>
struct PixelRows {
    Sample* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

// What resampleImage answers.
enum class ResampleResult {
    Done,
    Aborted,
    OutOfMemory,  // the filter tables could not be allocated
    Rejected,     // empty image or not a reduction: nothing written
};

// How a resampling is watched and spread: the abort flag is tested between
// rows (first pass) and columns (second pass); `progress` grows by 10 after
// each channel of each pass, 60 in all; `workers` threads share each pass
// (the result does not depend on their number).
struct ResampleControl {
    const std::atomic<bool>& abort;
    std::atomic<int>& progress;
    int workers = 1;
};

// Floats of the work buffer the caller supplies: target width x source height x 3.
std::size_t resampleWorkFloats(int targetWidth, int sourceHeight);

// Shrinks `source` to the size of `target` with a separable filter (kernel
// stretched by source / target size, centres at j * source / target): a
// horizontal pass into the work buffer, clamped to the sample range, then a
// vertical pass into the target, clamped and rounded to the nearest integer.
// Channel by channel, in single precision. The target may not be larger than
// the source in either direction.
ResampleResult resampleImage(PixelRows<const uint16_t> source, PixelRows<uint16_t> target, float* work,
                             ResampleKernel kernel, const ResampleControl& control);
ResampleResult resampleImage(PixelRows<const uint8_t> source, PixelRows<uint8_t> target, float* work,
                             ResampleKernel kernel, const ResampleControl& control);

}  // namespace qv
