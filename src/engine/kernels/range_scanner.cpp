#include "engine/kernels/range_scanner.h"

#include "engine/kernels/simd.h"

namespace qv {

void widenRanges(const uint16_t* inMin, const uint16_t* inMax, uint16_t* outMin, uint16_t* outMax, int n,
                 bool fromCentre)
{
    for (int x = 0; x < n; ++x) {
        outMin[x] = std::min(inMin[x - 1], inMin[x + 1]);
        outMax[x] = std::max(inMax[x - 1], inMax[x + 1]);
        if (fromCentre) {
            outMin[x] = std::min(outMin[x], inMin[x]);
            outMax[x] = std::max(outMax[x], inMax[x]);
        }
    }
}

void mergeRanges(const uint16_t* inMin, const uint16_t* inMax, uint16_t* accMin, uint16_t* accMax, int n)
{
    for (int x = 0; x < n; ++x) {
        accMin[x] = std::min(accMin[x], inMin[x]);
        accMax[x] = std::max(accMax[x], inMax[x]);
    }
}

bool RangeScanner::init(const RowSpans& spans, int width, int height, int firstRow, int endRow)
{
    spans_ = spans;
    width_ = width;
    height_ = height;
    firstRow_ = firstRow;
    endRow_ = endRow;
    widen_ = pickKernel(widenRanges, QV_AVX2_TWIN(widenRangesAvx2));
    merge_ = pickKernel(mergeRanges, QV_AVX2_TWIN(mergeRangesAvx2));
    dyByWidth_.clear();
    for (int dy = spans.dyMin; dy <= spans.dyMax; ++dy) {
        const int h = spans.halfWidth[dy - spans.dyMin];
        if (h >= 0)
            dyByWidth_.emplace_back(h, dy);
    }
    std::sort(dyByWidth_.begin(), dyByWidth_.end());
    // Rows in progress: the current one and those the span reaches below
    // it, never more than the band holds.
    slots_ = std::max(1, std::min(spans.dyMax - spans.dyMin + 1, endRow - firstRow));
    nextSource_ = std::max(0, firstRow + spans.dyMin);

    const std::size_t guarded = static_cast<std::size_t>(width) + 2;
    if (!ring_.allocate(static_cast<std::size_t>(slots_) * 2 * width * sizeof(uint16_t)) ||
        !widened_.allocate(4 * guarded * sizeof(uint16_t)))
        return false;
    for (int y = firstRow; y < firstRow + slots_; ++y)
        resetSlot(y);
    uint16_t* work = widened_.as<uint16_t>();
    for (int i = 0; i < 4; ++i)
        work[i * guarded] = work[i * guarded + width + 1] = i < 2 ? 0xFFFF : 0;
    return true;
}

void RangeScanner::resetSlot(int y)
{
    std::fill_n(ringMin(y), width_, uint16_t{0xFFFF});
    std::fill_n(ringMax(y), width_, uint16_t{0});
}

void RangeScanner::advance(int y, const uint16_t* plane, std::ptrdiff_t stride)
{
    // The slot of the previous row is next used by a row the coming source
    // rows start to fill.
    if (y > firstRow_)
        resetSlot(y - 1);
    const int lastSource = std::min(height_ - 1, y + spans_.dyMax);
    for (; nextSource_ <= lastSource; ++nextSource_)
        addSourceRow(plane + nextSource_ * stride, nextSource_);
    minRow_ = ringMin(y);
    maxRow_ = ringMax(y);
}

void RangeScanner::addSourceRow(const uint16_t* source, int s)
{
    const std::size_t guarded = static_cast<std::size_t>(width_) + 2;
    uint16_t* work = widened_.as<uint16_t>() + 1;
    uint16_t* mins[2] = {work, work + guarded};
    uint16_t* maxs[2] = {work + 2 * guarded, work + 3 * guarded};
    std::copy_n(source, width_, mins[0]);
    std::copy_n(source, width_, maxs[0]);

    int current = 0;
    int halfWidth = 0;
    for (const auto& [targetWidth, dy] : dyByWidth_) {
        const int y = s - dy;
        if (y < firstRow_ || y >= endRow_)
            continue;
        // Spans reaching past the row's ends cover no more than width - 1 do;
        // widening further would also lose the row of a 1-pixel-wide image,
        // where both neighbours of every column are guard cells.
        for (; halfWidth < std::min(targetWidth, width_ - 1); ++halfWidth, current ^= 1) {
            widen_(mins[current], maxs[current], mins[current ^ 1], maxs[current ^ 1], width_, halfWidth == 0);
        }
        merge_(mins[current], maxs[current], ringMin(y), ringMax(y), width_);
    }
}

}  // namespace qv
