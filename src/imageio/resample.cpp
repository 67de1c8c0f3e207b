#include "imageio/resample.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "imageio/parallel_rows.h"

namespace qv {

namespace {

// The first pass filters kLanes source rows at once, one per vector lane;
// the second pass runs over the target columns in strips, kLanes neighbouring
// columns at a time. Every lane does exactly the arithmetic of a single
// sample, so the grouping does not change any result. The lanes are held in
// kQuads independent four-float vectors, which keeps several additions in
// flight.
constexpr int kQuads = 2;
constexpr int kLanes = 4 * kQuads;
constexpr int kStripColumns = 64;
constexpr int kMaxWorkers = 20;
// Unaligned: loads start at any column.
typedef float Quad __attribute__((vector_size(4 * sizeof(float)), aligned(alignof(float))));

inline const Quad& quadAt(const float* p) { return *reinterpret_cast<const Quad*>(p); }

// sums[q] += weight * the q-th four floats at p, for every lane.
inline void addWeighted(Quad (&sums)[kQuads], float weight, const float* p)
{
    for (int q = 0; q < kQuads; ++q)
        sums[q] += weight * quadAt(p + 4 * q);
}

inline float clampSample(float v, float maxValue) { return v < 0.0f ? 0.0f : (v > maxValue ? maxValue : v); }

inline Quad clampSamples(Quad v, float maxValue)
{
    const Quad zero = {};
    const Quad top = zero + maxValue;
    v = v < zero ? zero : v;
    return v > top ? top : v;
}

template <class Sample>
Sample* rowOf(const PixelRows<Sample>& image, int y)
{
    using Byte = std::conditional_t<std::is_const_v<Sample>, const uint8_t, uint8_t>;
    return reinterpret_cast<Sample*>(reinterpret_cast<Byte*>(image.pixels) + y * image.stride);
}

// Range i of `count` near-equal ranges over 0..size-1 (empty when size is small).
struct Range {
    int begin;
    int end;
};
Range rangeOf(int i, int count, int size)
{
    const int length = (size + count - 1) / count;
    return {std::min(size, i * length), std::min(size, (i + 1) * length)};
}

template <class Sample>
struct ResampleJob {
    PixelRows<const Sample> source;
    PixelRows<Sample> target;
    float* work;  // one plane per channel: target width x source height floats
    const ResampleTaps& across;
    const ResampleTaps& down;
    const std::atomic<bool>& abort;
    float maxValue;

    float* plane(int channel) const
    {
        return work + static_cast<std::size_t>(channel) * target.width * source.height;
    }
    bool aborted() const { return abort.load(std::memory_order_relaxed); }
};

// First pass over source rows [rows.begin, rows.end) of one channel, into the
// channel's work plane. `lanes` holds source width x kLanes floats: the
// channel of kLanes rows side by side (a short last group repeats its last
// row in the unused lanes).
template <class Sample>
bool filterRows(const ResampleJob<Sample>& job, int channel, Range rows, float* lanes)
{
    const int sourceWidth = job.source.width;
    const int targetWidth = job.target.width;
    float* out = job.plane(channel);
    for (int y = rows.begin; y < rows.end; y += kLanes) {
        const int used = std::min(kLanes, rows.end - y);
        const Sample* in[kLanes];
        for (int l = 0; l < kLanes; ++l)
            in[l] = rowOf(job.source, y + std::min(l, used - 1)) + channel;
        for (int t = 0; t < sourceWidth; ++t)
            for (int l = 0; l < kLanes; ++l)
                lanes[t * kLanes + l] = static_cast<float>(in[l][3 * t]);

        for (int j = 0; j < targetWidth; ++j) {
            const float* w = job.across.weights(j);
            const float* p = lanes + static_cast<std::size_t>(job.across.first(j)) * kLanes;
            Quad sums[kQuads] = {};
            for (int i = 0, n = job.across.count(j); i < n; ++i, p += kLanes)
                addWeighted(sums, w[i], p);
            const float weightSum = job.across.weightSum(j);
            for (Quad& sum : sums)
                sum = clampSamples(sum / weightSum, job.maxValue);
            for (int l = 0; l < used; ++l)
                out[static_cast<std::size_t>(y + l) * targetWidth + j] = sums[l / 4][l % 4];
        }
        if (job.aborted())
            return false;
    }
    return true;
}

// The taps of target row y applied to `count` neighbouring columns of a work
// plane starting at `column`; the weighted sums go to `sums`.
void sumColumns(const float* plane, int planeWidth, const ResampleTaps& down, int y, int column, int count,
                float* sums)
{
    const float* w = down.weights(y);
    const float* firstRow = plane + static_cast<std::size_t>(down.first(y)) * planeWidth + column;
    const int taps = down.count(y);
    int b = 0;
    for (; b + kLanes <= count; b += kLanes) {
        Quad lanes[kQuads] = {};
        const float* p = firstRow + b;
        for (int i = 0; i < taps; ++i, p += planeWidth)
            addWeighted(lanes, w[i], p);
        std::memcpy(sums + b, lanes, sizeof lanes);
    }
    for (; b < count; ++b) {
        float sum = 0.0f;
        const float* p = firstRow + b;
        for (int i = 0; i < taps; ++i, p += planeWidth)
            sum += w[i] * *p;
        sums[b] = sum;
    }
}

// Second pass over target columns [columns.begin, columns.end) of one channel.
// The clamped average is rounded to the nearest integer, not truncated: the
// single-precision average of equal samples often lands a hair below them,
// and truncation would turn flat areas (white included) one step darker.
template <class Sample>
bool filterColumns(const ResampleJob<Sample>& job, int channel, Range columns)
{
    const float* plane = job.plane(channel);
    const int width = job.target.width;
    float sums[kStripColumns];
    for (int column = columns.begin; column < columns.end; column += kStripColumns) {
        const int count = std::min(kStripColumns, columns.end - column);
        for (int y = 0; y < job.target.height; ++y) {
            sumColumns(plane, width, job.down, y, column, count, sums);
            const float weightSum = job.down.weightSum(y);
            Sample* out = rowOf(job.target, y) + 3 * column + channel;
            for (int b = 0; b < count; ++b) {
                const float value = clampSample(sums[b] / weightSum, job.maxValue);
                out[3 * b] = static_cast<Sample>(static_cast<int>(value + 0.5f));
            }
        }
        if (job.aborted())
            return false;
    }
    return true;
}

template <class Sample>
bool acceptable(const PixelRows<Sample>& image)
{
    return image.pixels && image.width > 0 && image.height > 0 &&
           image.stride >= static_cast<std::ptrdiff_t>(image.width) * 3 * static_cast<std::ptrdiff_t>(sizeof(Sample));
}

template <class Sample>
ResampleResult resample(PixelRows<const Sample> source, PixelRows<Sample> target, float* work, ResampleKernel kernel,
                        const ResampleControl& control, float maxValue)
{
    if (!work || !acceptable(source) || !acceptable(target) || target.width > source.width ||
        target.height > source.height)
        return ResampleResult::Rejected;

    ResampleTaps across;
    ResampleTaps down;
    if (!across.build(source.width, target.width, kernel) || !down.build(source.height, target.height, kernel))
        return ResampleResult::OutOfMemory;
    const int workers = std::clamp(control.workers, 1, kMaxWorkers);
    const std::size_t lanesPerWorker = static_cast<std::size_t>(source.width) * kLanes;
    std::unique_ptr<float[]> lanes(new (std::nothrow) float[workers * lanesPerWorker]);
    if (!lanes)
        return ResampleResult::OutOfMemory;

    const ResampleJob<Sample> job{source, target, work, across, down, control.abort, maxValue};
    for (int channel = 0; channel < 3; ++channel) {
        const bool ok = forEachRowParallel(workers, workers, [&](int worker, int i) {
            return filterRows(job, channel, rangeOf(i, workers, source.height), lanes.get() + worker * lanesPerWorker);
        });
        if (!ok)
            return ResampleResult::Aborted;
        control.progress += 10;
    }
    for (int channel = 0; channel < 3; ++channel) {
        const bool ok = forEachRowParallel(workers, workers, [&](int, int i) {
            return filterColumns(job, channel, rangeOf(i, workers, target.width));
        });
        if (!ok)
            return ResampleResult::Aborted;
        control.progress += 10;
    }
    return ResampleResult::Done;
}

}  // namespace

std::size_t resampleWorkFloats(int targetWidth, int sourceHeight)
{
    return static_cast<std::size_t>(targetWidth) * static_cast<std::size_t>(sourceHeight) * 3;
}

ResampleResult resampleImage(PixelRows<const uint16_t> source, PixelRows<uint16_t> target, float* work,
                             ResampleKernel kernel, const ResampleControl& control)
{
    return resample(source, target, work, kernel, control, 65535.0f);
}

ResampleResult resampleImage(PixelRows<const uint8_t> source, PixelRows<uint8_t> target, float* work,
                             ResampleKernel kernel, const ResampleControl& control)
{
    return resample(source, target, work, kernel, control, 255.0f);
}

}  // namespace qv
