#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "engine/pipeline/plane_memory.h"

namespace qv {

// The rows a neighbourhood of offsets covers and, for each, how far it
// reaches sideways (the wider side: the row span is made symmetric, a
// superset of the neighbourhood's samples in that row).
struct RowSpans {
    int dyMin = 0;
    int dyMax = -1;
    std::vector<int> halfWidth;  // indexed by dy - dyMin; -1: no offset in that row

    // The spans of a list of entries with dx and dy members.
    template <class Entry>
    static RowSpans of(std::span<const Entry> entries)
    {
        RowSpans spans;
        if (entries.empty())
            return spans;
        spans.dyMin = spans.dyMax = entries.front().dy;
        for (const Entry& e : entries) {
            spans.dyMin = std::min<int>(spans.dyMin, e.dy);
            spans.dyMax = std::max<int>(spans.dyMax, e.dy);
        }
        spans.halfWidth.assign(spans.dyMax - spans.dyMin + 1, -1);
        for (const Entry& e : entries) {
            int& h = spans.halfWidth[e.dy - spans.dyMin];
            h = std::max<int>(h, e.dx < 0 ? -e.dx : e.dx);
        }
        return spans;
    }
};

// The scanner's two loops (widenRanges, mergeRanges and their AVX2 twins below).
using RangeWidener = void (*)(const uint16_t* inMin, const uint16_t* inMax, uint16_t* outMin, uint16_t* outMax, int n,
                              bool fromCentre);
using RangeMerger = void (*)(const uint16_t* inMin, const uint16_t* inMax, uint16_t* accMin, uint16_t* accMax, int n);

// The least and greatest value of a 16-bit plane over every pixel's
// neighbourhood (samples outside the image left out), produced row by row
// for one band. Each source row is read once: its sideways minima and maxima
// are widened one column at a time and merged into the rows that use that
// width.
class RangeScanner {
public:
    // Prepares for output rows firstRow..endRow-1 of a width x height plane
    // and picks its loops (see simd.h). False when the scratch memory cannot
    // be had.
    bool init(const RowSpans& spans, int width, int height, int firstRow, int endRow);

    // Moves to output row y (firstRow, then each next row in turn), reading
    // the source rows it needs from `plane`: `width` values of each row,
    // rows `stride` values apart.
    void advance(int y, const uint16_t* plane, std::ptrdiff_t stride);

    // Of the row last advanced to.
    const uint16_t* minRow() const { return minRow_; }
    const uint16_t* maxRow() const { return maxRow_; }

private:
    void addSourceRow(const uint16_t* source, int s);
    uint16_t* ringMin(int y) { return ring_.as<uint16_t>() + static_cast<std::size_t>(slotOf(y)) * 2 * width_; }
    uint16_t* ringMax(int y) { return ringMin(y) + width_; }
    int slotOf(int y) const { return (y - firstRow_) % slots_; }
    void resetSlot(int y);

    RowSpans spans_;
    std::vector<std::pair<int, int>> dyByWidth_;  // (half width, dy), by width
    int width_ = 0, height_ = 0, firstRow_ = 0, endRow_ = 0;
    int slots_ = 1;
    int nextSource_ = 0;
    RangeWidener widen_ = nullptr;
    RangeMerger merge_ = nullptr;
    PlaneMemory ring_;     // per slot: min row, then max row
    PlaneMemory widened_;  // two min and two max work rows with guard cells
    const uint16_t* minRow_ = nullptr;
    const uint16_t* maxRow_ = nullptr;
};

// One widening step over n columns: out = in spread one more column each
// side (keeping the centre column when `fromCentre`, the step from width 0).
// in[-1] and in[n] must hold the neutral value. Both the minima and the maxima.
void widenRanges(const uint16_t* inMin, const uint16_t* inMax, uint16_t* outMin, uint16_t* outMax, int n,
                 bool fromCentre);
void widenRangesAvx2(const uint16_t* inMin, const uint16_t* inMax, uint16_t* outMin, uint16_t* outMax, int n,
                     bool fromCentre);
// accMin = min(accMin, inMin), accMax = max(accMax, inMax) over n columns.
void mergeRanges(const uint16_t* inMin, const uint16_t* inMax, uint16_t* accMin, uint16_t* accMax, int n);
void mergeRangesAvx2(const uint16_t* inMin, const uint16_t* inMax, uint16_t* accMin, uint16_t* accMax, int n);

}  // namespace qv
