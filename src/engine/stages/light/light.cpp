#include "engine/stages/light/light.h"

#include <algorithm>
#include <vector>

#include "engine/kernels/box_windows.h"
#include "engine/kernels/window_deviation.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

int lightFirstRadius(int width, int height)
{
    return std::max(18 * std::max(width, height) / 100, 2);
}

int lightProgressLevels(int firstRadius)
{
    int levels = 1;
    for (int e = firstRadius; e > 2; e /= 2)
        ++levels;
    return levels;
}

namespace {

struct LightItem : WorkItem {
    const uint16_t* luminance = nullptr;  // the unprocessed source luminance
    const uint16_t* luma = nullptr;       // the luma to light
    uint16_t* map = nullptr;
    uint16_t* out = nullptr;
    uint32_t* columnSums = nullptr;       // one row of W, this worker's own
    DeviationWriter writeDeviations = nullptr;
    int firstRadius = 2;
    int lightness = 0;
    bool prepare = false;
};

void blendRow(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness)
{
    const uint32_t keep = 100 - lightness;
    for (int x = 0; x < width; ++x) {
        const uint32_t b = luma[x];
        out[x] = static_cast<uint16_t>((b * keep + lightOverlay(b, map[x]) * lightness) / 100);
    }
}

// One radius of the light map over the item's band: each pixel's deviation
// from the mean of the other pixels of its (2r+1)-square window, clipped to
// the window at the image edges, centred on mid-grey; the map keeps the
// largest value over all radii.
bool accumulateLevel(LightItem& it, int r)
{
    const int w = it.width;
    const int half = it.valueScale / 2;
    BoxWindows windows(it.luminance, w, it.height, r, it.columnSums);
    windows.startAt(it.firstRow);
    for (int y = it.firstRow; y < it.endRow; ++y) {
        const uint16_t* source = it.luminance + static_cast<std::size_t>(y) * w;
        uint16_t* map = it.map + static_cast<std::size_t>(y) * w;
        windows.forEachChunk(y, [&](int x0, int count, const double* sum, const double* pixels) {
            it.writeDeviations({source + x0, sum, pixels, count}, DeviationDivisor::OtherPixels,
                               DeviationOutput::Raise, half, map + x0);
        });
        if (y + 1 < it.endRow)
            windows.advance(y);
        if (!it.tick())
            return false;
    }
    return true;
}

bool prepareBand(LightItem& it)
{
    const std::size_t first = static_cast<std::size_t>(it.firstRow) * it.width;
    const std::size_t end = static_cast<std::size_t>(it.endRow) * it.width;
    std::fill(it.map + first, it.map + end, uint16_t{0});
    int r = it.firstRadius;
    do {
        if (!accumulateLevel(it, r))
            return false;
        r /= 2;
    } while (r > 2);
    return true;
}

bool lightWorker(LightItem& it)
{
    if (it.prepare && !prepareBand(it))
        return false;
    // The blend that follows a preparation counts no progress of its own.
    const int unitsPerRow = it.prepare ? 0 : 2;
    for (int y = it.firstRow; y < it.endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * it.width;
        blendRow(it.luma + at, it.map + at, it.out + at, it.width, it.lightness);
        if (!it.tick(unitsPerRow))
            return false;
    }
    return true;
}

bool inputsValid(PipelineState& state, const uint16_t* luma, const uint16_t* out, int lightness, int firstRadius,
                 const ColumnSumRows& columnSums)
{
    const std::size_t pixels = state.pixelCount();
    if (state.width <= 0 || state.height <= 0 || !luma || !out || lightness > 100)
        return false;
    if (state.luminance.bytes() < 2 * pixels || lightMap(state).empty() || columnSums.empty())
        return false;
    // The first radius has the tallest windows.
    return BoxWindows::fits(firstRadius, state.height);
}

}  // namespace

bool runLightStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, uint16_t* out, bool prepare)
{
    ctx.statusCode.store(StatusCode::Light, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    const int w = state.width;
    const int h = state.height;
    const int lightness = ctx.current.Lightness;
    const int firstRadius = lightFirstRadius(w, h);
    const std::vector<Band> bands = splitBands(h, ctx.workerCount);
    const ColumnSumRows columnSums = lightColumnSums(state, bands.size());
    if (!inputsValid(state, luma, out, lightness, firstRadius, columnSums))
        return false;

    auto items = makeWorkItems<LightItem>(bands, w, h, ctx.valueScale);
    const DeviationWriter writeDeviations = deviationWriter();
    for (LightItem& item : items) {
        item.luminance = state.luminancePlane();
        item.luma = luma;
        item.map = lightMap(state).data();
        item.out = out;
        item.columnSums = columnSums.row(item.index);
        item.writeDeviations = writeDeviations;
        item.firstRadius = firstRadius;
        item.lightness = lightness;
        item.prepare = prepare;
    }
    // Without a preparation each row counts two units against one level, so
    // the figure would climb to 200 %; it is held at 100.
    const int levels = prepare ? lightProgressLevels(firstRadius) : 1;
    const StageOptions options{StatusCode::Light, static_cast<int64_t>(h) * levels, true};
    return runStage(ctx, state.abort, items, options, lightWorker);
}

}  // namespace qv
