#include "engine/stages/detail/detail_tracking.h"

#include <cstddef>

#include "engine/kernels/simd.h"
#include "engine/pipeline/stage_runner.h"

namespace qv {

namespace {

// Work units of step `step` out of `steps` when `lines` lines are spread
// evenly over the steps.
int unitsAt(int64_t lines, int step, int steps)
{
    return static_cast<int>(lines * (step + 1) / steps - lines * step / steps);
}

// One directional pass over a run of diagonal lines. Instead of walking each
// line on its own (one cache line per pixel), the pass sweeps the image row
// by row and keeps one tracker per line: every line meets each row at most
// once, in its own order, and the pixels of the run in a row are contiguous.
// Every pass but the last adds its trackers to the envelope; the last
// (finish) writes the values instead.
bool sweepDiagonals(const TrackingPlanes& p, DiagonalFamily family, bool downward, int entryColumn,
                    int firstLine, int endLine, int32_t* trackers, bool finish, WorkItem& item)
{
    const DiagonalStretchFn track = pickKernel(trackStretch, QV_AVX2_TWIN(trackStretchAvx2));
    const int w = p.width;
    const int h = p.height;
    const int lines = endLine - firstLine;
    for (int step = 0; step < h; ++step) {
        const int y = downward ? step : h - 1 - step;
        // The tracker of pixel x of this row is trackers[x + offset].
        const int offset = family == DiagonalFamily::Falling ? h - 1 - y - firstLine : y - firstLine;
        const int begin = std::max(0, -offset);
        const int end = std::min(w, lines - offset);
        if (begin < end) {
            const std::size_t row = static_cast<std::size_t>(y) * w + begin;
            const uint16_t* luma = p.luminance + row;
            int32_t* s = trackers + (begin + offset);
            const int count = end - begin;
            // A line starts on its first pixel, where its tracker is that
            // pixel's luminance: the first row of the sweep or the entry column.
            if (step == 0) {
                for (int i = 0; i < count; ++i)
                    s[i] = luma[i];
            } else if (entryColumn >= begin && entryColumn < end) {
                s[entryColumn - begin] = luma[entryColumn - begin];
            }
            track({luma, s, p.envelope + row, finish ? p.values + row : nullptr, count, p.tolerance});
        }
        if (!item.tick(unitsAt(lines, step, h)))
            return false;
    }
    return true;
}

// Both directions of the row tracking over rows y .. y + Rows - 1, side by
// side: each row's tracker is one chain of dependent steps, so two rows
// interleaved take about the time of one.
template <int Rows>
void trackRowGroup(const TrackingPlanes& p, int y)
{
    const int w = p.width;
    const uint16_t* luma[Rows];
    uint32_t* envelope[Rows];
    int32_t s[Rows];
    for (int r = 0; r < Rows; ++r) {
        luma[r] = p.luminance + static_cast<std::size_t>(y + r) * w;
        envelope[r] = p.envelope + static_cast<std::size_t>(y + r) * w;
        s[r] = luma[r][0];
    }
    for (int x = 0; x < w; ++x) {
        for (int r = 0; r < Rows; ++r) {
            s[r] = trackTolerance(s[r], luma[r][x], p.tolerance);
            envelope[r][x] = 2 * static_cast<uint32_t>(s[r]);
        }
    }
    for (int r = 0; r < Rows; ++r)
        s[r] = luma[r][w - 1];
    for (int x = w - 1; x >= 0; --x) {
        for (int r = 0; r < Rows; ++r) {
            s[r] = trackTolerance(s[r], luma[r][x], p.tolerance);
            envelope[r][x] += 2 * static_cast<uint32_t>(s[r]);
        }
    }
}

}  // namespace

void trackStretch(const DiagonalStretch& stretch)
{
    const uint16_t* __restrict luma = stretch.luma;
    int32_t* __restrict s = stretch.trackers;
    uint32_t* __restrict envelope = stretch.envelope;
    uint16_t* __restrict values = stretch.values;
    if (values) {
        for (int i = 0; i < stretch.count; ++i) {
            s[i] = trackTolerance(s[i], luma[i], stretch.tolerance);
            values[i] = static_cast<uint16_t>((envelope[i] + static_cast<uint32_t>(s[i])) / 8);
        }
    } else {
        for (int i = 0; i < stretch.count; ++i) {
            s[i] = trackTolerance(s[i], luma[i], stretch.tolerance);
            envelope[i] += static_cast<uint32_t>(s[i]);
        }
    }
}

bool trackRows(const TrackingPlanes& p, int firstRow, int endRow, WorkItem& item)
{
    for (int y = firstRow; y < endRow; y += 2) {
        const bool pair = y + 1 < endRow;
        pair ? trackRowGroup<2>(p, y) : trackRowGroup<1>(p, y);
        if (!item.tick(pair ? 4 : 2))
            return false;
    }
    return true;
}

bool trackDiagonals(const TrackingPlanes& p, DiagonalFamily family, int firstLine, int endLine, int32_t* trackers,
                    WorkItem& item)
{
    const int lastColumn = p.width - 1;
    if (family == DiagonalFamily::Falling) {
        // Down-right lines enter on the left edge, up-left lines on the right.
        return sweepDiagonals(p, family, true, 0, firstLine, endLine, trackers, false, item) &&
               sweepDiagonals(p, family, false, lastColumn, firstLine, endLine, trackers, false, item);
    }
    // Up-right lines enter on the left edge, down-left lines on the right;
    // the last pass completes the weights 2+2 (rows) + 1+1 + 1+1 = 8.
    return sweepDiagonals(p, family, false, 0, firstLine, endLine, trackers, false, item) &&
           sweepDiagonals(p, family, true, lastColumn, firstLine, endLine, trackers, true, item);
}

LineRun diagonalShare(int width, int height, int parts, int part)
{
    const int lines = width + height - 1;
    const int64_t pixels = static_cast<int64_t>(width) * height;
    const int shortSide = std::min(width, height);
    // The run of part j begins at the first line whose preceding lines hold
    // at least pixels * j / parts pixels.
    auto boundary = [&](int j) {
        const int64_t target = pixels * j / parts;
        int64_t before = 0;
        int k = 0;
        while (k < lines && before < target) {
            before += std::min({k + 1, lines - k, shortSide});
            ++k;
        }
        return k;
    };
    return {boundary(part), part + 1 >= parts ? lines : boundary(part + 1)};
}

}  // namespace qv
