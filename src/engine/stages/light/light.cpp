#include "engine/stages/light/light.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "engine/kernels/box_windows.h"
#include "engine/kernels/simd.h"
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

int lightRadiusCount(int firstRadius)
{
    return firstRadius > 2 ? lightProgressLevels(firstRadius) - 1 : 1;
}

void blendLightRowPlain(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness)
{
    const uint32_t keep = 100 - lightness;
    for (int x = 0; x < width; ++x) {
        const uint32_t b = luma[x];
        out[x] = static_cast<uint16_t>((b * keep + lightOverlay(b, map[x]) * lightness) / 100);
    }
}

LightBlendRow lightBlendRow() { return pickKernel(blendLightRowPlain, QV_AVX2_TWIN(blendLightRowAvx2)); }

namespace {

struct LightItem : WorkItem {
    const uint16_t* luminance = nullptr;  // the unprocessed source luminance
    const uint16_t* luma = nullptr;       // the luma to light
    uint16_t* map = nullptr;
    uint16_t* out = nullptr;
    uint32_t* columnSums = nullptr;       // one row of W per radius, this worker's own
    RowDeviationWriter writeDeviations = nullptr;
    LightBlendRow blendRow = nullptr;
    LightParams params;
    bool inputChanged = false;            // the map is rebuilt first
};

// The light map's row y: at each radius, each pixel's deviation from the
// mean of the other pixels of its (2r+1)-square window, clipped to the
// window at the image edges, centred on mid-grey; the map keeps the largest
// value over all radii (the first radius stores, as deviations are never
// below 0).
void writeMapRow(LightItem& it, const std::vector<BoxWindows>& radii, int y)
{
    const std::size_t at = static_cast<std::size_t>(y) * it.width;
    const uint16_t* row = it.luminance + at;
    uint16_t* map = it.map + at;
    const int half = it.valueScale / 2;
    for (std::size_t level = 0; level < radii.size(); ++level) {
        const DeviationOutput output = level == 0 ? DeviationOutput::Store : DeviationOutput::Raise;
        const WindowRow windows = radii[level].rowAt(y);
        it.writeDeviations(windows, radii[level].firstWindow(windows), row, DeviationDivisor::OtherPixels, output,
                           half, map);
    }
}

// Builds the band's light map and blends it row by row: all radii of a
// row at once, so that the row of the map is written once and blended
// while it is at hand.
bool prepareAndBlendBand(LightItem& it)
{
    std::vector<BoxWindows> radii;
    // As many radii as the column sums were sized for: r0, r0/2, ...
    const int count = lightRadiusCount(it.params.firstRadius);
    radii.reserve(count);
    for (int level = 0, r = it.params.firstRadius; level < count; ++level, r /= 2) {
        radii.emplace_back(it.luminance, it.width, it.height, r,
                           it.columnSums + static_cast<std::size_t>(level) * it.width);
        radii.back().startAt(it.firstRow);
    }
    for (int y = it.firstRow; y < it.endRow; ++y) {
        writeMapRow(it, radii, y);
        const std::size_t at = static_cast<std::size_t>(y) * it.width;
        it.blendRow(it.luma + at, it.map + at, it.out + at, it.width, it.params.lightness);
        if (y + 1 < it.endRow)
            for (BoxWindows& windows : radii)
                windows.advance(y);
        if (!it.tick(static_cast<int>(radii.size())))
            return false;
    }
    return true;
}

bool lightWorker(LightItem& it)
{
    if (it.inputChanged)
        return prepareAndBlendBand(it);
    for (int y = it.firstRow; y < it.endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * it.width;
        it.blendRow(it.luma + at, it.map + at, it.out + at, it.width, it.params.lightness);
        if (!it.tick(2))
            return false;
    }
    return true;
}

bool inputsValid(PipelineState& state, const uint16_t* luma, const uint16_t* out, int firstRadius)
{
    const std::size_t pixels = state.pixelCount();
    if (state.width <= 0 || state.height <= 0 || !luma || !out)
        return false;
    if (state.luminance.bytes() < 2 * pixels || lightMap(state).empty())
        return false;
    // The first radius has the tallest windows.
    return BoxWindows::fits(firstRadius, state.height);
}

}  // namespace

std::optional<LightParams> LightParams::from(const ToneSettings& settings, int width, int height)
{
    if (!inFieldRange(settings, &ToneSettings::Lightness))
        return std::nullopt;
    return LightParams{settings.Lightness, lightFirstRadius(width, height)};
}

bool runLightStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, uint16_t* out,
                   bool inputChanged)
{
    beginStage(ctx, StatusCode::Light);
    const int w = state.width;
    const int h = state.height;
    const std::optional<LightParams> params = LightParams::from(ctx.current, w, h);
    const std::vector<Band> bands = splitBands(h, ctx.workerCount);
    if (!params || !inputsValid(state, luma, out, params->firstRadius))
        return false;
    // Each worker's column sums, a row of W for every radius.
    const std::size_t sumsPerItem = static_cast<std::size_t>(lightRadiusCount(params->firstRadius)) * w;
    std::unique_ptr<uint32_t[]> columnSums;
    if (inputChanged) {
        columnSums.reset(new (std::nothrow) uint32_t[sumsPerItem * bands.size()]);
        if (!columnSums)
            return false;
    }

    auto items = makeWorkItems<LightItem>(bands, w, h, ctx.valueScale);
    const RowDeviationWriter writeDeviations = rowDeviationWriter();
    const LightBlendRow blendRow = lightBlendRow();
    for (LightItem& item : items) {
        item.luminance = state.luminancePlane();
        item.luma = luma;
        item.map = lightMap(state).data();
        item.out = out;
        item.columnSums = columnSums ? columnSums.get() + sumsPerItem * item.index : nullptr;
        item.writeDeviations = writeDeviations;
        item.blendRow = blendRow;
        item.params = *params;
        item.inputChanged = inputChanged;
    }
    // Without a preparation each row counts two units against one level, so
    // the figure would climb to 200 %; it is held at 100.
    const int levels = inputChanged ? lightProgressLevels(params->firstRadius) : 1;
    StageOptions options;
    options.totalWork = static_cast<int64_t>(h) * levels;
    options.capAt100 = true;
    return runStage(ctx, state.abort, items, options, lightWorker);
}

}  // namespace qv
