#include "engine/kernels/gaussian_blur.h"

#include <cmath>
#include <type_traits>

#include "engine/kernels/gaussian_blur_lanes.h"
#include "engine/kernels/simd.h"
#include "engine/pipeline/allocation.h"

namespace qv {

namespace {

// Beyond these the kernel would not be a sensible integer Gaussian: taps
// far past any image size, or weights past exact single precision.
constexpr float kMaxSigma = 100000.0f;
constexpr float kMaxPeak = 16777216.0f;
// Weighted sums of 16-bit values must fit in 64 bits.
constexpr uint64_t kMaxSum = uint64_t(1) << 47;

template <class Acc>
std::vector<Acc>& sumsOf(BlurScratch& scratch);
template <>
std::vector<uint32_t>& sumsOf(BlurScratch& scratch)
{
    return scratch.sums32;
}
template <>
std::vector<uint64_t>& sumsOf(BlurScratch& scratch)
{
    return scratch.sums64;
}

template <class T>
T* atLeast(std::vector<T>& buffer, std::size_t size)
{
    if (buffer.size() < size)
        buffer.resize(size);
    return buffer.data();
}

// Sums are kept modulo 2^32 or 2^64: every weighted sum that is divided is
// below that bound (GaussianKernel::fits32Bits), so wrapping in between
// does not change it.

// Running sums of a line, padded by `pad` on both sides so that a window
// reaching past an end reads the sum of the part inside the line:
// sums[j] = in[0] + ... + in[clamp(j, 0, length) - 1], j = -pad .. length + pad.
template <class Acc>
Acc* paddedLineSums(const uint16_t* in, int length, int pad, BlurScratch& scratch)
{
    Acc* sums = atLeast(sumsOf<Acc>(scratch), static_cast<std::size_t>(length) + 2 * pad + 1) + pad;
    std::fill(sums - pad, sums + 1, Acc(0));
    Acc running = 0;
    for (int x = 0; x < length; ++x) {
        running += in[x];
        sums[x + 1] = running;
    }
    std::fill(sums + length + 1, sums + length + pad + 1, running);
    return sums;
}

template <class Acc>
void blurLineWith(const uint16_t* in, uint16_t* out, int length, const GaussianKernel& kernel, BlurScratch& scratch)
{
    const int reach = kernel.reach();
    const Acc* sums = paddedLineSums<Acc>(in, length, reach, scratch);
    int x = 0;
    if constexpr (std::is_same_v<Acc, uint32_t>) {
        if (scratch.rowLanes)
            x = scratch.rowLanes(sums, out, length, kernel);
    }
    for (; x < length; ++x) {
        const bool inside = x >= reach && x < length - reach;
        Acc acc = 0;
        Acc used = 0;
        for (const KernelBox& box : kernel.boxes) {
            const Acc delta = static_cast<Acc>(box.delta);
            acc += delta * (sums[x + box.radius + 1] - sums[x - box.radius]);
            if (!inside)
                used += delta * static_cast<Acc>(std::min(x + box.radius + 1, length) - std::max(x - box.radius, 0));
        }
        out[x] = static_cast<uint16_t>(acc / (inside ? static_cast<Acc>(kernel.sum) : used));
    }
}

template <class Acc>
void blurColumnsWith(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride, int height,
                     int columns, const GaussianKernel& kernel, BlurScratch& scratch)
{
    Acc* sums = atLeast(sumsOf<Acc>(scratch), (static_cast<std::size_t>(height) + 1) * kColumnBlock);
    int* bounds = atLeast(scratch.bounds, 2 * kernel.boxes.size());
    for (int c = 0; c < columns; ++c)
        sums[c] = 0;
    for (int y = 0; y < height; ++y) {
        const uint16_t* row = in + y * inStride;
        Acc* previous = sums + y * kColumnBlock;
        for (int c = 0; c < columns; ++c)
            previous[kColumnBlock + c] = previous[c] + row[c];
    }

    const int boxCount = static_cast<int>(kernel.boxes.size());
    for (int y = 0; y < height; ++y) {
        const Acc used = blur_lanes::rowWindows<Acc>(y, height, kernel, bounds);
        uint16_t* row = out + y * outStride;
        for (int c = 0; c < columns; ++c) {
            Acc acc = 0;
            for (int b = 0; b < boxCount; ++b)
                acc +=
                    static_cast<Acc>(kernel.boxes[b].delta) * (sums[bounds[2 * b + 1] + c] - sums[bounds[2 * b] + c]);
            row[c] = static_cast<uint16_t>(acc / used);
        }
    }
}

// Sizes the scratch for lines of up to `length` values (rows) or for column
// blocks of `length` rows; false when the memory is not there.
bool prepareScratch(BlurScratch& scratch, int length, bool columnBlocks, const GaussianKernel& kernel)
{
    const std::size_t size = columnBlocks ? (static_cast<std::size_t>(length) + 1) * kColumnBlock
                                          : static_cast<std::size_t>(length) + 2 * kernel.reach() + 1;
    return allocationSucceeds([&] {
        if (kernel.fits32Bits())
            atLeast(scratch.sums32, size);
        else
            atLeast(scratch.sums64, size);
        atLeast(scratch.bounds, 2 * kernel.boxes.size());
    });
}

}  // namespace

BlurScratch::BlurScratch()
    : rowLanes(pickKernel<BlurRowLanes>(nullptr, QV_AVX2_TWIN(blur_lanes::blurRowAvx2))),
      columnLanes(pickKernel<BlurColumnLanes>(nullptr, QV_AVX2_TWIN(blur_lanes::blurColumnBlockAvx2)))
{
}

std::optional<GaussianKernel> makeGaussianKernel(float sigma)
{
    if (!(sigma > 0.0f && sigma <= kMaxSigma))
        return std::nullopt;
    const int n = static_cast<int>(std::floor(5.0f * sigma + 1.5f)) | 1;
    const int half = n / 2;
    const float s2 = 2.0f * sigma * sigma;
    const float peak = std::exp(static_cast<float>(int64_t(half) * half) / s2);
    if (!(peak < kMaxPeak))
        return std::nullopt;

    std::vector<uint32_t> weights(n);
    weights[half] = static_cast<uint32_t>(std::floor(peak + 0.5f));
    for (int i = 1; i <= half; ++i) {
        const float falloff = std::exp(-static_cast<float>(int64_t(i) * i) / s2);
        weights[half - i] = weights[half + i] = static_cast<uint32_t>(std::floor(falloff * peak + 0.5f));
    }
    return kernelFromWeights(std::move(weights));
}

std::optional<GaussianKernel> kernelFromWeights(std::vector<uint32_t> weights)
{
    const int n = static_cast<int>(weights.size());
    if (n % 2 == 0 || weights[n / 2] == 0)
        return std::nullopt;
    GaussianKernel kernel;
    const int half = n / 2;
    for (int i = 0; i <= half; ++i) {
        if (weights[half - i] != weights[half + i])
            return std::nullopt;
        kernel.sum += weights[half + i] * uint64_t(i == 0 ? 1 : 2);
        if (kernel.sum > kMaxSum)
            return std::nullopt;
        const int64_t next = i < half ? weights[half + i + 1] : 0;
        const int64_t delta = int64_t(weights[half + i]) - next;
        if (delta != 0)
            kernel.boxes.push_back({i, delta});
    }
    kernel.weights = std::move(weights);
    return kernel;
}

void blurLine(const uint16_t* in, uint16_t* out, int length, const GaussianKernel& kernel, BlurScratch& scratch)
{
    if (kernel.fits32Bits())
        blurLineWith<uint32_t>(in, out, length, kernel, scratch);
    else
        blurLineWith<uint64_t>(in, out, length, kernel, scratch);
}

void blurColumns(const uint16_t* in, std::size_t inStride, uint16_t* out, std::size_t outStride, int height,
                 int columns, const GaussianKernel& kernel, BlurScratch& scratch)
{
    if (!kernel.fits32Bits()) {
        blurColumnsWith<uint64_t>(in, inStride, out, outStride, height, columns, kernel, scratch);
    } else if (columns == kColumnBlock && scratch.columnLanes) {
        uint32_t* sums = atLeast(scratch.sums32, (static_cast<std::size_t>(height) + 1) * kColumnBlock);
        int* bounds = atLeast(scratch.bounds, 2 * kernel.boxes.size());
        scratch.columnLanes(in, inStride, out, outStride, height, kernel, sums, bounds);
    } else {
        blurColumnsWith<uint32_t>(in, inStride, out, outStride, height, columns, kernel, scratch);
    }
}

bool blurBandRows(WorkItem& item, const uint16_t* in, uint16_t* out, const GaussianKernel& kernel)
{
    BlurScratch scratch;
    if (!prepareScratch(scratch, item.width, false, kernel))
        return false;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        blurLine(in + y * stride, out + y * stride, item.width, kernel, scratch);
        if (!item.tick())
            return false;
    }
    return true;
}

bool blurItemColumns(WorkItem& item, const uint16_t* in, uint16_t* out, const GaussianKernel& kernel)
{
    BlurScratch scratch;
    if (!prepareScratch(scratch, item.height, true, kernel))
        return false;
    const std::size_t stride = static_cast<std::size_t>(item.width);
    return forEachItemColumnBlock(item, [&](int x, int columns) {
        blurColumns(in + x, stride, out + x, stride, item.height, columns, kernel, scratch);
    });
}

bool separableBlur(WorkItem& item, const uint16_t* in, uint16_t* scratch, uint16_t* out, const GaussianKernel& kernel)
{
    return blurBandRows(item, in, scratch, kernel) && item.passDone() && blurItemColumns(item, scratch, out, kernel) &&
           item.passDone();
}

}  // namespace qv
