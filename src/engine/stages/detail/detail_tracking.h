#pragma once

#include <algorithm>
#include <cstdint>

namespace qv {

struct WorkItem;

// The tolerance tracker: it follows the luminance but stays put while the
// luminance wanders within ±tolerance of it; when the luminance leaves that
// band, the tracker is dragged along to the band's edge. In other words the
// tracker is clamped into [luma - tolerance, luma + tolerance]. Signed, so
// the band may reach below 0 and above 65535.
inline int32_t trackTolerance(int32_t tracker, int32_t luma, int32_t tolerance)
{
    return std::min(std::max(tracker, luma - tolerance), luma + tolerance);
}

// What the tracking passes read and write: the luminance, the envelope,
// which sums the weighted directional trackers, and the values, which
// receive the weighted mean of all six (at most 65535, in 16 bits) from the
// last pass.
struct TrackingPlanes {
    const uint16_t* luminance;
    uint32_t* envelope;
    uint16_t* values;
    int width;
    int height;
    int tolerance;
};

// The two families of diagonal lines. Falling lines keep x - y constant
// (passes down-right and up-left), rising lines keep x + y constant (passes
// up-right and down-left). Both families have W + H - 1 lines, numbered from
// the one through the bottom-left (falling) or top-left (rising) corner.
enum class DiagonalFamily { Falling, Rising };

// Rows [firstRow, endRow): envelope := 2 * (left-to-right tracker) +
// 2 * (right-to-left tracker). Starts the envelope, so it runs first.
bool trackRows(const TrackingPlanes& planes, int firstRow, int endRow, WorkItem& item);

// Lines [firstLine, endLine) of a family, both directions, added to the
// envelope. The rising family runs last: its last pass divides the total
// weight 8 out and writes the values.
// `trackers` holds endLine - firstLine values.
bool trackDiagonals(const TrackingPlanes& planes, DiagonalFamily family, int firstLine, int endLine,
                    int32_t* trackers, WorkItem& item);

// One row's stretch of a diagonal pass: `count` trackers follow the row's
// luminance, and the envelope receives them or, on the last pass (where
// `values` is given), the values receive (envelope + tracker) / 8. The
// AVX2 twin takes eight at a time.
struct DiagonalStretch {
    const uint16_t* luma;
    int32_t* trackers;
    uint32_t* envelope;
    uint16_t* values;  // null but on the last pass
    int count;
    int32_t tolerance;
};
using DiagonalStretchFn = void (*)(const DiagonalStretch& stretch);
void trackStretch(const DiagonalStretch& stretch);
void trackStretchAvx2(const DiagonalStretch& stretch);

// The lines of a diagonal family are cut into `parts` consecutive runs of
// about equal pixel counts; these are the bounds of run `part`.
struct LineRun {
    int first;
    int end;
};
LineRun diagonalShare(int width, int height, int parts, int part);

}  // namespace qv
