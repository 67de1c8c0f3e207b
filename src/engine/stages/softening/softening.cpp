#include "engine/stages/softening/softening.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/kernels/blur_stage.h"
#include "engine/kernels/box_windows.h"
#include "engine/kernels/deviation_band.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// The blur runs from the contrast map into its horizontal pass and on into
// the soft map; the kernel is there when the input changed.
struct SoftenItem : BlurItem {
    uint16_t* contrast = nullptr;    // local contrast map (scratch)
    uint32_t* columnSums = nullptr;  // this worker's row of column sums, sharing the scratch above
    uint16_t* softMap = nullptr;     // the blurred contrast map, kept between runs
    const float* exponents = nullptr;
    DeviationWriter writeDeviations = nullptr;
    SofteningParams params;
};

// Local contrast of each pixel of the band: its deviation from the mean of
// the (2r + 1)^2 window around it, clipped to the image, scaled by a
// quarter of the window and centred on the middle of the value range.
bool contrastRows(SoftenItem& item)
{
    return writeBandDeviations(item, {item.planes.in, item.params.radius, item.columnSums,
                                      DeviationDivisor::QuarterWindow, DeviationOutput::Store, item.contrast,
                                      item.writeDeviations});
}

// out = (trunc((L / 65535)^g * 65535 * Softness) + L * (150 - Softness)) / 150,
// g from the second weight table at the soft contrast value.
void blendRow(const SoftenItem& item, int y)
{
    const std::size_t offset = static_cast<std::size_t>(y) * item.width;
    const uint16_t* in = item.planes.in + offset;
    const uint16_t* map = item.softMap + offset;
    uint16_t* out = item.planes.out + offset;
    const float softness = static_cast<float>(item.params.softness);
    const int keep = kSofteningScale - item.params.softness;
    for (int x = 0; x < item.width; ++x) {
        const float v = std::pow(static_cast<float>(in[x]) / 65535.0f, item.exponents[map[x]]);
        const int64_t curved = static_cast<int64_t>(v * 65535.0f * softness);
        out[x] = static_cast<uint16_t>((curved + int64_t(in[x]) * keep) / kSofteningScale);
    }
}

bool blendRows(SoftenItem& item, bool counted)
{
    for (int y = item.firstRow; y < item.endRow; ++y) {
        blendRow(item, y);
        if (!item.tick(counted ? 2 : 0))
            return false;
    }
    return true;
}

bool softenWorker(SoftenItem& item)
{
    if (!item.kernel)
        return blendRows(item, true);
    return contrastRows(item) && item.passDone() &&
           blurBandRows(item, item.contrast, item.planes.horizontal, *item.kernel) && item.passDone() &&
           blurItemColumns(item, item.planes.horizontal, item.softMap, *item.kernel) && item.passDone() &&
           blendRows(item, false);
}

}  // namespace

int softeningBoxRadius(int width, int height)
{
    return std::max(static_cast<int>(int64_t(std::max(width, height)) * 7 / 100), 2);
}

int softeningSigma(int width, int height)
{
    return std::max(static_cast<int>(int64_t(std::max(width, height)) * 2 / 100), 2);
}

std::optional<SofteningParams> SofteningParams::from(const ToneSettings& settings, int width, int height)
{
    if (!inFieldRange(settings, &ToneSettings::Softness))
        return std::nullopt;
    return SofteningParams{settings.Softness, softeningBoxRadius(width, height), softeningSigma(width, height)};
}

bool runSofteningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out,
                       bool inputChanged)
{
    beginStage(ctx, StatusCode::Softening);
    const int width = state.width;
    const int height = state.height;
    const std::optional<SofteningParams> params = SofteningParams::from(ctx.current, width, height);
    uint16_t* const softMap = softeningMap(state).data();
    if (!params || !in || !out || width <= 0 || height <= 0 || !softMap || !state.secondWeightTable() ||
        !BoxWindows::fits(params->radius, height))
        return false;
    const ColumnSumRows columnSums = softeningColumnSums(state, splitBands(height, ctx.workerCount).size());
    if (columnSums.empty())
        return false;

    const DeviationWriter writeDeviations = deviationWriter();
    StageOptions options;
    options.totalWork = int64_t(width) + 2 * int64_t(height);
    const std::optional<float> sigma =
        inputChanged ? std::optional<float>(static_cast<float>(params->sigma)) : std::nullopt;
    return runBlurStage<SoftenItem>(
        ctx, state.abort, width, height, {in, softeningHorizontalPass(state).data(), out}, sigma, options,
        [&](SoftenItem& item) {
            item.contrast = softeningContrast(state).data();
            item.columnSums = columnSums.row(item.index);
            item.softMap = softMap;
            item.exponents = state.secondWeightTable();
            item.writeDeviations = writeDeviations;
            item.params = *params;
        },
        softenWorker);
}

}  // namespace qv
