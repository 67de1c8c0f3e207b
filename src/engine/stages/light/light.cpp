#include "engine/stages/light/light.h"

#include <algorithm>
#include <vector>

#include "engine/kernels/box_windows.h"
#include "engine/kernels/deviation_band.h"
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
    LightParams params;
    bool inputChanged = false;            // the map is rebuilt first
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
    return writeBandDeviations(it, {it.luminance, r, it.columnSums, DeviationDivisor::OtherPixels,
                                    DeviationOutput::Raise, it.map, it.writeDeviations});
}

bool prepareBand(LightItem& it)
{
    const std::size_t first = static_cast<std::size_t>(it.firstRow) * it.width;
    const std::size_t end = static_cast<std::size_t>(it.endRow) * it.width;
    std::fill(it.map + first, it.map + end, uint16_t{0});
    int r = it.params.firstRadius;
    do {
        if (!accumulateLevel(it, r))
            return false;
        r /= 2;
    } while (r > 2);
    return true;
}

bool lightWorker(LightItem& it)
{
    if (it.inputChanged && !prepareBand(it))
        return false;
    // The blend that follows a preparation counts no progress of its own.
    const int unitsPerRow = it.inputChanged ? 0 : 2;
    for (int y = it.firstRow; y < it.endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * it.width;
        blendRow(it.luma + at, it.map + at, it.out + at, it.width, it.params.lightness);
        if (!it.tick(unitsPerRow))
            return false;
    }
    return true;
}

bool inputsValid(PipelineState& state, const uint16_t* luma, const uint16_t* out, int firstRadius,
                 const ColumnSumRows& columnSums)
{
    const std::size_t pixels = state.pixelCount();
    if (state.width <= 0 || state.height <= 0 || !luma || !out)
        return false;
    if (state.luminance.bytes() < 2 * pixels || lightMap(state).empty() || columnSums.empty())
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
    const ColumnSumRows columnSums = lightColumnSums(state, bands.size());
    if (!params || !inputsValid(state, luma, out, params->firstRadius, columnSums))
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
