#include "engine/detail_extraction.h"

#include <algorithm>
#include <cstddef>
#include <new>
#include <vector>

#include "engine/detail_tracking.h"
#include "engine/processing_context.h"
#include "engine/status_codes.h"

namespace qv {

namespace {

// Columns spread together: gathered from the rows into contiguous lines and
// written back afterwards, so the planes are read and written a cache line
// at a time instead of one pixel per line.
constexpr int kStripColumns = 16;

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

// Memory of one worker, allocated before its first pass.
struct DetailScratch {
    std::vector<int32_t> trackers;  // one per diagonal line of the worker
    std::vector<uint16_t> stripLuma; // kStripColumns columns of H pixels each
    std::vector<uint32_t> stripValues;
    std::vector<uint32_t> stripPairs;
    SpreadScratch spread;

    bool allocate(int width, int height, int trackerCount, int radius)
    {
        const std::size_t strip = static_cast<std::size_t>(kStripColumns) * height;
        try {
            trackers.resize(trackerCount);
            stripLuma.resize(strip);
            stripValues.resize(strip);
            stripPairs.resize(2 * strip);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return spread.reserve(std::max(width, height), radius + 1);
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

// Spreads the columns of the worker vertically. With `blend`, the value
// spread from a pixel is the mean of the last horizontal spreading averaged
// with the envelope; otherwise the envelope itself.
bool spreadColumns(DetailWorkItem& item, DetailScratch& scratch, SpreadReach reach, bool blend, int units)
{
    const int w = item.width;
    const int h = item.height;
    const DetailPlanes& p = item.planes;
    const LineRun columns = columnShare(w, item.count, item.index);
    for (int x0 = columns.first; x0 < columns.end; x0 += kStripColumns) {
        const int n = std::min(kStripColumns, columns.end - x0);
        for (int y = 0; y < h; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * w + x0;
            for (int j = 0; j < n; ++j) {
                const uint32_t e = p.envelope[at + j];
                const uint32_t sum = p.pairs[2 * (at + j)];
                const uint32_t count = p.pairs[2 * (at + j) + 1];
                scratch.stripLuma[static_cast<std::size_t>(j) * h + y] = p.luminance[at + j];
                scratch.stripValues[static_cast<std::size_t>(j) * h + y] =
                    blend && count != 0 ? (sum / count + e) >> 1 : e;
            }
        }
        for (int j = 0; j < n; ++j) {
            const std::size_t column = static_cast<std::size_t>(j) * h;
            item.spread({scratch.stripLuma.data() + column, scratch.stripValues.data() + column, h}, reach,
                        item.params.tolerance, scratch.spread, scratch.stripPairs.data() + 2 * column);
            if (!item.tick(units))
                return false;
        }
        for (int y = 0; y < h; ++y) {
            uint32_t* pairs = p.pairs + 2 * (static_cast<std::size_t>(y) * w + x0);
            for (int j = 0; j < n; ++j) {
                const std::size_t from = 2 * (static_cast<std::size_t>(j) * h + y);
                pairs[2 * j] = scratch.stripPairs[from];
                pairs[2 * j + 1] = scratch.stripPairs[from + 1];
            }
        }
    }
    return true;
}

// Spreads the rows of the band horizontally. The value spread from a pixel
// is the mean of the preceding vertical spreading, kept in the envelope for
// the next refinement round.
bool spreadRows(DetailWorkItem& item, DetailScratch& scratch, SpreadReach reach, int units)
{
    const int w = item.width;
    const DetailPlanes& p = item.planes;
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * w;
        uint32_t* envelope = p.envelope + row;
        const uint32_t* pairs = p.pairs + 2 * row;
        for (int x = 0; x < w; ++x) {
            if (pairs[2 * x + 1] != 0)
                envelope[x] = pairs[2 * x] / pairs[2 * x + 1];
        }
        item.spread({p.luminance + row, envelope, w}, reach, item.params.tolerance, scratch.spread, p.pairs + 2 * row);
        if (!item.tick(units))
            return false;
    }
    return true;
}

// Maps each pixel's distance from its local mean to the detail plane:
// mean -> mid-grey, mean -T -> 0, mean +T -> 65535. Single precision,
// evaluated left to right; every pixel has a count of at least 1 (its own
// forward spread always reaches it).
bool mapDetails(DetailWorkItem& item)
{
    const int w = item.width;
    const DetailPlanes& p = item.planes;
    const float tolerance = static_cast<float>(item.params.tolerance);
    const float scale = 65535.0f / static_cast<float>(2 * item.params.tolerance);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * w;
        const uint16_t* luma = p.luminance + row;
        const uint32_t* pairs = p.pairs + 2 * row;
        uint16_t* detail = p.detail + row;
        for (int x = 0; x < w; ++x) {
            const float mean = static_cast<float>(pairs[2 * x]) / static_cast<float>(pairs[2 * x + 1]);
            const int32_t d = static_cast<int32_t>((static_cast<float>(luma[x]) - mean + tolerance) * scale);
            detail[x] = static_cast<uint16_t>(std::clamp(d, 0, 65535));
        }
        if (!item.tick(0))
            return false;
    }
    return true;
}

}  // namespace

std::optional<DetailParams> DetailParams::make(int width, int height, int valueScale, int details, int multiScale)
{
    if (width <= 0 || height <= 0 || details < 0 || details > 9 || valueScale < 256 || valueScale > 65536)
        return std::nullopt;
    DetailParams params;
    params.tolerance = static_cast<uint16_t>((32 - 3 * details) * (valueScale / 256));
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
    DetailScratch scratch;
    if (!scratch.allocate(w, h, diagonals.end - diagonals.first, radius))
        return false;

    // Tolerance tracking in six directions; the envelope gets the weighted mean.
    const TrackingPlanes tracking{item.planes.luminance, item.planes.envelope, w, h, item.params.tolerance};
    if (!trackRows(tracking, item.firstRow, item.endRow, item) || !item.passDone())
        return false;
    for (DiagonalFamily family : {DiagonalFamily::Falling, DiagonalFamily::Rising}) {
        if (!trackDiagonals(tracking, family, diagonals.first, diagonals.end, scratch.trackers.data(), item) ||
            !item.passDone())
            return false;
    }

    // Spreading average at the full radius, then refinement rounds at
    // radii shrinking by thirds (30: 10, 3, 1, 1) while the mask allows.
    if (!spreadColumns(item, scratch, {radius, radius + 1}, false, radius) || !item.passDone() ||
        !spreadRows(item, scratch, {radius + 1, radius + 1}, radius))
        return false;
    for (int r = radius; (r & item.params.multiScale) != 0;) {
        r /= 3;
        const int round = std::max(r, 1);
        const SpreadReach reach{round + 1, round + 1};
        if (!item.passDone() || !spreadColumns(item, scratch, reach, true, round) || !item.passDone() ||
            !spreadRows(item, scratch, reach, round))
            return false;
    }
    return item.passDone() && mapDetails(item);
}

bool extractDetails(ProcessingContext& ctx, const std::atomic<bool>& abort, const DetailPlanes& planes, int width,
                    int height, LineSpreadFn spread)
{
    ctx.statusCode.store(StatusCode::DetailSetup, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    const std::optional<DetailParams> params =
        DetailParams::make(width, height, ctx.valueScale, ctx.current.Details, ctx.multiScale);
    if (!params || !spread)
        return false;

    std::vector<DetailWorkItem> items =
        makeWorkItems<DetailWorkItem>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
    for (DetailWorkItem& item : items) {
        item.planes = planes;
        item.params = *params;
        item.spread = spread;
    }
    StageSpec spec;
    spec.statusCode = StatusCode::Detail;
    spec.totalWork = totalWork(width, height, params->radius);
    spec.capAt100 = true;
    return runStage(ctx, abort, items, spec, detailWorker);
}

bool runDetailExtraction(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out)
{
    const std::size_t n = state.pixelCount();
    if (!in || !out || n == 0 || state.curve.bytes() < 4 * n || state.pairs.bytes() < 8 * n) {
        ctx.statusCode.store(StatusCode::DetailSetup, std::memory_order_relaxed);
        return false;
    }
    const DetailPlanes planes{in, out, state.curveScratch(), state.pairAccumulator()};
    return extractDetails(ctx, state.abort, planes, state.width, state.height, spreadLine);
}

}  // namespace qv
