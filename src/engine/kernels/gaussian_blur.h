#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/pipeline/stage_runner.h"

namespace qv {

// One centred box of a kernel's decomposition: `delta` times the sum of the
// 2 * radius + 1 values around a position.
struct KernelBox {
    int radius;
    int64_t delta;
};

// A symmetric integer kernel with an odd number of taps.
struct GaussianKernel {
    std::vector<uint32_t> weights;  // n taps; weights[half()] is the centre
    uint64_t sum = 0;  // S, the sum of all taps
    // The same kernel as a sum of centred boxes, one per step between
    // neighbouring weights. The passes work from running sums with it, so
    // their cost grows with the number of distinct weights, not with n.
    std::vector<KernelBox> boxes;

    int size() const { return static_cast<int>(weights.size()); }
    int half() const { return size() / 2; }
    // Largest radius with a non-zero weight.
    int reach() const { return boxes.empty() ? 0 : boxes.back().radius; }
    // Every weighted sum of 16-bit values stays below 2^32.
    bool fits32Bits() const { return sum <= 65536; }
};

// The Gaussian kernel of spread sigma, in single precision throughout:
// n = floor(5 sigma + 1.5) with its lowest bit set, h = n / 2,
// s2 = 2 sigma^2, peak = exp(h^2 / s2), centre floor(peak + 0.5), and
// tap h +- i = floor(exp(-i^2 / s2) * peak + 0.5). The outer taps come out
// as 1. Empty for a sigma that is not positive and finite, or so small or
// large that the weights would not be sensible integers. Stages pass an
// integer spread as a float (exact), the sharpening its
// SharpnessRadius / 10.0f.
std::optional<GaussianKernel> makeGaussianKernel(float sigma);

// A kernel from given taps; empty unless they are an odd, symmetric list
// with a non-zero centre.
std::optional<GaussianKernel> kernelFromWeights(std::vector<uint32_t> weights);

// The AVX2 loops of kernels that fit 32 bits: a row from its padded running
// sums, positions 0.. in groups of 16 (answers the first position not done),
// and a full block of kColumnBlock columns.
using BlurRowLanes = int (*)(const uint32_t* sums, uint16_t* out, int length, const GaussianKernel& kernel);
using BlurColumnLanes = void (*)(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride,
                                 int height, const GaussianKernel& kernel, uint32_t* sums, int* bounds);

// Running sums of one worker, kept across the lines of a pass so that no
// line allocates, and the vector loops, picked once when the scratch is
// made: null where they may not run.
struct BlurScratch {
    BlurScratch();

    std::vector<uint32_t> sums32;
    std::vector<uint64_t> sums64;
    std::vector<int> bounds;  // per box: first and end position of its window
    BlurRowLanes rowLanes;
    BlurColumnLanes columnLanes;
};

// Convolves one line: out[x] = the kernel centred on x, summed over the
// positions inside the line and divided by the sum of the weights used
// (the full S away from the ends). Lines shorter than the kernel are
// handled the same way. `in` and `out` must not overlap.
void blurLine(const uint16_t* in, uint16_t* out, int length, const GaussianKernel& kernel, BlurScratch& scratch);

// Columns per block of the vertical pass.
inline constexpr int kColumnBlock = 16;

// The same convolution down `columns` (1..kColumnBlock) adjacent columns of
// `height` rows: in[y * inStride + c] -> out[y * outStride + c].
void blurColumns(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride, int height,
                 int columns, const GaussianKernel& kernel, BlurScratch& scratch);

// Horizontal pass of a worker: the rows of its band, in -> out (both
// W x H). One progress unit per row; false once the stage stops.
bool blurBandRows(WorkItem& item, const uint16_t* in, uint16_t* out, const GaussianKernel& kernel);

// Calls fn(firstColumn, columns) for the worker's share of the columns:
// blocks of kColumnBlock columns dealt out in turn over the items (block
// index, index + count, ...). One progress unit per column; false once the
// stage stops.
template <class Fn>
bool forEachItemColumnBlock(WorkItem& item, Fn&& fn)
{
    const int step = item.count * kColumnBlock;
    for (int x = item.index * kColumnBlock; x < item.width; x += step) {
        const int columns = std::min(kColumnBlock, item.width - x);
        fn(x, columns);
        if (!item.tick(columns))
            return false;
    }
    return true;
}

// Vertical pass of a worker: its column blocks, in -> out (both W x H).
bool blurItemColumns(WorkItem& item, const uint16_t* in, uint16_t* out, const GaussianKernel& kernel);

// The whole blur in a worker: horizontal pass in -> scratch, barrier,
// vertical pass scratch -> out, barrier. W + H progress units over all
// workers. False once the stage stops.
bool separableBlur(WorkItem& item, const uint16_t* in, uint16_t* scratch, uint16_t* out, const GaussianKernel& kernel);

}  // namespace qv
