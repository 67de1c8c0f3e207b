#include "engine/range_scanner.h"

#include <limits>

namespace qv {

namespace {

template <class T>
struct Lowest {
    static T pick(T a, T b) { return std::min(a, b); }
    static constexpr T neutral = std::numeric_limits<T>::max();
};
template <class T>
struct Highest {
    static T pick(T a, T b) { return std::max(a, b); }
    static constexpr T neutral = std::numeric_limits<T>::min();
};

// out[x] covers one more column on each side than in[x]. in[-1] and in[n]
// are guard cells holding the neutral value. From width 0 the centre column
// must be kept; from width 1 on the two shifted spans already cover it.
template <class Pick, class T>
void widen(const T* in, T* out, int n, bool fromCentre)
{
    if (fromCentre) {
        for (int x = 0; x < n; ++x)
            out[x] = Pick::pick(Pick::pick(in[x - 1], in[x]), in[x + 1]);
    } else {
        for (int x = 0; x < n; ++x)
            out[x] = Pick::pick(in[x - 1], in[x + 1]);
    }
}

template <class Pick, class T>
void merge(const T* in, T* acc, int n)
{
    for (int x = 0; x < n; ++x)
        acc[x] = Pick::pick(acc[x], in[x]);
}

}  // namespace

template <class T>
bool RangeScanner<T>::init(const RowSpans& spans, int width, int height, int firstRow, int endRow)
{
    spans_ = spans;
    width_ = width;
    height_ = height;
    firstRow_ = firstRow;
    endRow_ = endRow;
    dyByWidth_.clear();
    for (int dy = spans.dyMin; dy <= spans.dyMax; ++dy) {
        const int h = spans.halfWidth[dy - spans.dyMin];
        if (h >= 0)
            dyByWidth_.emplace_back(h, dy);
    }
    std::sort(dyByWidth_.begin(), dyByWidth_.end());
    slots_ = std::max(1, spans.dyMax - spans.dyMin + 1);
    nextSource_ = std::max(0, firstRow + spans.dyMin);

    const std::size_t guarded = static_cast<std::size_t>(width) + 2;
    if (!ring_.allocate(static_cast<std::size_t>(slots_) * 2 * width * sizeof(T)) ||
        !widened_.allocate(4 * guarded * sizeof(T)))
        return false;
    for (int y = firstRow; y < firstRow + slots_; ++y)
        resetSlot(y);
    T* work = widened_.as<T>();
    for (int i = 0; i < 4; ++i) {
        const T guard = i < 2 ? Lowest<T>::neutral : Highest<T>::neutral;
        work[i * guarded] = work[i * guarded + width + 1] = guard;
    }
    return true;
}

template <class T>
void RangeScanner<T>::resetSlot(int y)
{
    std::fill_n(ringMin(y), width_, Lowest<T>::neutral);
    std::fill_n(ringMax(y), width_, Highest<T>::neutral);
}

template <class T>
void RangeScanner<T>::advance(int y, const PaddedPlane<T>& plane)
{
    // The slot of the previous row is next used by a row the coming source
    // rows start to fill.
    if (y > firstRow_)
        resetSlot(y - 1);
    const int lastSource = std::min(height_ - 1, y + spans_.dyMax);
    for (; nextSource_ <= lastSource; ++nextSource_)
        addSourceRow(plane.row(nextSource_), nextSource_);
    minRow_ = ringMin(y);
    maxRow_ = ringMax(y);
}

template <class T>
void RangeScanner<T>::addSourceRow(const T* source, int s)
{
    const std::size_t guarded = static_cast<std::size_t>(width_) + 2;
    T* mins[2] = {widened_.as<T>() + 1, widened_.as<T>() + 1 + guarded};
    T* maxs[2] = {widened_.as<T>() + 1 + 2 * guarded, widened_.as<T>() + 1 + 3 * guarded};
    std::copy_n(source, width_, mins[0]);
    std::copy_n(source, width_, maxs[0]);

    int current = 0;
    int halfWidth = 0;
    for (const auto& [targetWidth, dy] : dyByWidth_) {
        const int y = s - dy;
        if (y < firstRow_ || y >= endRow_)
            continue;
        for (; halfWidth < targetWidth; ++halfWidth, current ^= 1) {
            widen<Lowest<T>>(mins[current], mins[current ^ 1], width_, halfWidth == 0);
            widen<Highest<T>>(maxs[current], maxs[current ^ 1], width_, halfWidth == 0);
        }
        merge<Lowest<T>>(mins[current], ringMin(y), width_);
        merge<Highest<T>>(maxs[current], ringMax(y), width_);
    }
}

template class RangeScanner<uint16_t>;
template class RangeScanner<int16_t>;

}  // namespace qv
