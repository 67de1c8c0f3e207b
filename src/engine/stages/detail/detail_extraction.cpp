#include "engine/stages/detail/detail_extraction.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "engine/kernels/column_copy.h"
#include "engine/kernels/pair_means.h"
#include "engine/pipeline/allocation.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/stages/detail/detail_tracking.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// Columns spread together: gathered from the rows into contiguous lines and
// written back afterwards, so the planes are read and written 64 bytes of a
// row (a cache line's width of 16-bit values) at a time instead of one pixel
// per line.
constexpr int kStripColumns = 32;
// The luminance is kept in the same strips for the strip walk.
static_assert(kStripColumns == kStripWidth);

// A pixel receives at most 2 * reach + 2 spread values of at most 65535;
// their sum must fit the 32-bit accumulator.
constexpr int64_t kMaxRadius = (int64_t{UINT32_MAX} / 65535 - 2) / 2;

// Progress units of the whole stage: 6 H + 4 W for the tracking lines plus
// the spreading (R per row and column, and r' per row and column for every
// refinement round).
int64_t totalWork(int width, int height, int radius)
{
    const int64_t lines = static_cast<int64_t>(width) + height;
    int64_t acc = 0;
    int64_t spreading = 0;
    for (int64_t h = radius; h > 0; h /= 3) {
        acc += lines * h;
        spreading = acc + lines;
    }
    return spreading + 6 * static_cast<int64_t>(height) + 4 * static_cast<int64_t>(width);
}

// Memory of one worker, allocated before its first pass: the strips of
// columns, and line memory as long as a column, only where a round spreads
// the columns as lines.
struct DetailScratch {
    std::vector<int32_t> trackers;     // one per diagonal line of the worker
    std::vector<uint16_t> stripValues; // kStripColumns columns of H values each
    std::vector<uint16_t> stripLuma;   // and their luminance, where it is copied strip after strip
    std::vector<uint32_t> linePairs;   // (sum, count) of one row or column
    SpreadScratch spread;
    StripScratch strips;               // for the walk of strips, where it runs

    bool allocate(int width, int height, int trackerCount, int radius, bool columnLines, bool walkStrips)
    {
        const std::size_t strip = static_cast<std::size_t>(kStripColumns) * height;
        const int longestLine = columnLines ? std::max(width, height) : width;
        const bool allocated = allocationSucceeds([&] {
            trackers.resize(trackerCount);
            if (columnLines)
                stripValues.resize(strip);
            if (columnLines && walkStrips)
                stripLuma.resize(strip);
            linePairs.resize(2 * static_cast<std::size_t>(longestLine));
        });
        return allocated && spread.reserve(longestLine, radius + 1) && (!walkStrips || strips.reserve(height));
    }
};

// The columns [first, end) of a worker: an equal share of the column groups,
// so that neighbouring workers meet only at a cache-line boundary.
LineRun columnShare(int width, int parts, int part)
{
    const int groups = (width + kStripColumns - 1) / kStripColumns;
    return {std::min(width, groups * part / parts * kStripColumns),
            std::min(width, groups * (part + 1) / parts * kStripColumns)};
}

// The luminance of the worker's columns is the same in every round, so it
// is copied from the rows once: column after column for lines, or, where
// strips are walked, strip after strip (the strip at x0, n columns wide, at
// x0 * H with rows of n pixels).
void copyColumnLuminance(DetailWorkItem& item)
{
    const int w = item.width;
    const int h = item.height;
    const LineRun columns = columnShare(w, item.count, item.index);
    if (!item.strips) {
        item.columns.gather(item.planes.luminance, w, h, columns.first, columns.end - columns.first,
                            item.planes.columnLuminance + static_cast<std::size_t>(columns.first) * h);
        return;
    }
    for (int x0 = columns.first; x0 < columns.end; x0 += kStripColumns) {
        const int n = std::min(kStripColumns, columns.end - x0);
        uint16_t* strip = item.planes.columnLuminance + static_cast<std::size_t>(x0) * h;
        for (int y = 0; y < h; ++y)
            std::copy_n(item.planes.luminance + static_cast<std::size_t>(y) * w + x0, n,
                        strip + static_cast<std::size_t>(y) * n);
    }
}

// The luminance of the strip at x0, n columns wide, as copied by copyColumnLuminance.
const uint16_t* stripLuminance(const DetailWorkItem& item, int x0)
{
    return item.planes.columnLuminance + static_cast<std::size_t>(x0) * item.height;
}

// Whether the vertical round of `reach` walks strips rather than spreading
// the columns as lines.
bool walksStrips(const DetailWorkItem& item, SpreadReach reach)
{
    return item.strips && stripSpreadingTakes(reach, item.params.tolerance);
}

// Vertical spreading over the columns of the worker, walked along the rows a
// strip at a time.
bool walkStrips(DetailWorkItem& item, DetailScratch& scratch, LineRun columns, SpreadReach reach, int units)
{
    const std::size_t w = static_cast<std::size_t>(item.width);
    for (int x0 = columns.first; x0 < columns.end; x0 += kStripColumns) {
        const int n = std::min(kStripColumns, columns.end - x0);
        item.strips({stripLuminance(item, x0), static_cast<std::size_t>(n), item.planes.values + x0, w, item.height, n},
                    reach, item.params.tolerance, scratch.strips);
        if (!item.tick(units * n))
            return false;
    }
    return true;
}

// Vertical spreading over the columns of the worker, a strip at a time: the
// values plane holds the value spread from each pixel and receives the mean
// of the spreading.
bool spreadColumns(DetailWorkItem& item, DetailScratch& scratch, SpreadReach reach, int units)
{
    const int w = item.width;
    const int h = item.height;
    const LineRun columns = columnShare(w, item.count, item.index);
    if (walksStrips(item, reach))
        return walkStrips(item, scratch, columns, reach, units);
    for (int x0 = columns.first; x0 < columns.end; x0 += kStripColumns) {
        const int n = std::min(kStripColumns, columns.end - x0);
        item.columns.gather(item.planes.values, w, h, x0, n, scratch.stripValues.data());
        // Copied strip after strip for the strip walk: turned into lines here.
        const uint16_t* lumaLines = stripLuminance(item, x0);
        if (item.strips) {
            item.columns.gather(lumaLines, n, h, 0, n, scratch.stripLuma.data());
            lumaLines = scratch.stripLuma.data();
        }
        for (int j = 0; j < n; ++j) {
            uint16_t* values = scratch.stripValues.data() + static_cast<std::size_t>(j) * h;
            const uint16_t* luma = lumaLines + static_cast<std::size_t>(j) * h;
            item.spread({luma, values, h}, reach, item.params.tolerance, scratch.spread, scratch.linePairs.data());
            // Every pixel has a count of at least 1: its own forward spread
            // always reaches it.
            meansOfPairs(scratch.linePairs.data(), values, h);
            if (!item.tick(units))
                return false;
        }
        item.columns.scatter(scratch.stripValues.data(), w, h, x0, n, item.planes.values);
    }
    return true;
}

// Maps each pixel of the row that starts at `row` in the planes, its
// distance from its local mean (the (sum, count) pairs of the row's last
// spreading), to the detail plane: mean -> mid-grey, mean -T
// -> 0, mean +T -> 65535. Single precision, evaluated left to right; every
// pixel has a count of at least 1 (its own forward spread always reaches it).
void mapRow(const DetailWorkItem& item, std::size_t row, const uint32_t* pairs)
{
    const uint16_t* luma = item.planes.luminance + row;
    uint16_t* detail = item.planes.detail + row;
    const float tolerance = static_cast<float>(item.params.tolerance);
    const float scale = 65535.0f / static_cast<float>(2 * item.params.tolerance);
    for (int x = 0; x < item.width; ++x) {
        const float mean = static_cast<float>(pairs[2 * x]) / static_cast<float>(pairs[2 * x + 1]);
        const int32_t d = static_cast<int32_t>((static_cast<float>(luma[x]) - mean + tolerance) * scale);
        detail[x] = static_cast<uint16_t>(std::clamp(d, 0, 65535));
    }
}

// Horizontal spreading over the rows of the band, from the means of the
// vertical spreading in the values plane. The last round maps each row to the
// detail plane as soon as it is spread; the others leave the value the next
// vertical round spreads: the mean of this spreading averaged with the
// vertical mean.
bool spreadRows(DetailWorkItem& item, DetailScratch& scratch, SpreadReach reach, int units, bool last)
{
    const int w = item.width;
    const DetailPlanes& p = item.planes;
    uint32_t* pairs = scratch.linePairs.data();
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * w;
        item.spread({p.luminance + row, p.values + row, w}, reach, item.params.tolerance, scratch.spread, pairs);
        if (last)
            mapRow(item, row, pairs);
        else
            averageWithMeans(pairs, p.values + row, w);
        if (!item.tick(units))
            return false;
    }
    return true;
}

}  // namespace

std::optional<DetailParams> DetailParams::from(const ToneSettings& settings, int width, int height, int valueScale,
                                               int multiScale)
{
    if (width <= 0 || height <= 0 || !inFieldRange(settings, &ToneSettings::Details) || valueScale < 256 ||
        valueScale > 65536)
        return std::nullopt;
    DetailParams params;
    params.tolerance = static_cast<uint16_t>((32 - 3 * settings.Details) * (valueScale / 256));
    params.radius = static_cast<int>(std::max<int64_t>(int64_t{std::max(width, height)} * 3 / 100, 1));
    if (params.radius > kMaxRadius)
        return std::nullopt;
    params.multiScale = multiScale;
    return params;
}

bool detailWorker(DetailWorkItem& item)
{
    const int w = item.width;
    const int h = item.height;
    const int radius = item.params.radius;
    const LineRun diagonals = diagonalShare(w, h, item.count, item.index);
    // The first round reaches furthest: unless it spreads the columns as
    // lines, no round does.
    SpreadReach columnReach{radius, radius + 1};
    DetailScratch scratch;
    if (!scratch.allocate(w, h, diagonals.end - diagonals.first, radius, !walksStrips(item, columnReach),
                          item.strips != nullptr))
        return false;

    copyColumnLuminance(item);
    // Tolerance tracking in six directions; the values get the weighted mean.
    const TrackingPlanes tracking{item.planes.luminance, item.planes.envelope, item.planes.values, w, h,
                                  item.params.tolerance};
    if (!trackRows(tracking, item.firstRow, item.endRow, item) || !item.passDone())
        return false;
    for (DiagonalFamily family : {DiagonalFamily::Falling, DiagonalFamily::Rising}) {
        if (!trackDiagonals(tracking, family, diagonals.first, diagonals.end, scratch.trackers.data(), item) ||
            !item.passDone())
            return false;
    }

    // Spreading average at the full radius, then refinement rounds at radii
    // shrinking by thirds (30: 10, 3, 1, 1) while the mask allows.
    SpreadReach rowReach{radius + 1, radius + 1};
    int units = radius;
    for (int r = radius;;) {
        const bool last = (r & item.params.multiScale) == 0;
        if (!spreadColumns(item, scratch, columnReach, units) || !item.passDone() ||
            !spreadRows(item, scratch, rowReach, units, last))
            return false;
        if (last)
            break;
        r /= 3;
        units = std::max(r, 1);
        columnReach = rowReach = {units + 1, units + 1};
        if (!item.passDone())
            return false;
    }
    return true;
}

DetailSpreading fastDetailSpreading() { return {fastLineSpreading(), fastStripSpreading()}; }

bool extractDetails(ProcessingContext& ctx, const std::atomic<bool>& abort, const DetailPlanes& planes, int width,
                    int height, DetailSpreading spreading)
{
    beginStage(ctx, StatusCode::DetailSetup);
    const std::optional<DetailParams> params =
        DetailParams::from(ctx.current, width, height, ctx.valueScale, ctx.multiScale);
    if (!params || !spreading.lines || !planes.complete())
        return false;

    std::vector<DetailWorkItem> items = stageItems<DetailWorkItem>(ctx, width, height);
    const ColumnCopy columns = pickColumnCopy();
    for (DetailWorkItem& item : items) {
        item.planes = planes;
        item.params = *params;
        item.spread = spreading.lines;
        item.strips = spreading.strips;
        item.columns = columns;
    }
    StageOptions options;
    options.statusCode = StatusCode::Detail;
    options.totalWork = totalWork(width, height, params->radius);
    options.capAt100 = true;
    return runStage(ctx, abort, items, options, detailWorker);
}

bool runDetailExtractionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    const DetailPlanes planes{in, out, detailEnvelope(state).data(), detailSpreadValues(state).data(),
                              detailColumnLuminance(state).data()};
    return extractDetails(ctx, state.abort, planes, state.width, state.height, fastDetailSpreading());
}

}  // namespace qv
