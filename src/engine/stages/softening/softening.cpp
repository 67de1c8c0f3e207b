#include "engine/stages/softening/softening.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/kernels/box_windows.h"
#include "engine/kernels/gaussian_blur.h"
#include "engine/kernels/window_deviation.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "text/status_codes.h"

namespace qv {

namespace {

constexpr int kMaxSoftness = 150;

struct SoftenItem : WorkItem {
    const uint16_t* in = nullptr;
    uint16_t* out = nullptr;
    uint16_t* contrast = nullptr;    // local contrast map (scratch)
    uint16_t* horizontal = nullptr;  // horizontal pass of its blur (scratch)
    uint32_t* columnSums = nullptr;  // this worker's row of column sums, sharing the scratch above
    uint16_t* softMap = nullptr;     // the blurred contrast map, kept between runs
    const float* exponents = nullptr;
    const GaussianKernel* kernel = nullptr;  // null: blend only
    DeviationWriter writeDeviations = nullptr;
    int radius = 0;
    int softness = 0;
};

// Local contrast of each pixel of the band: its deviation from the mean of
// the (2r + 1)^2 window around it, clipped to the image, scaled by a
// quarter of the window and centred on the middle of the value range.
bool contrastRows(SoftenItem& item)
{
    const int w = item.width;
    const int half = item.valueScale / 2;
    BoxWindows windows(item.in, w, item.height, item.radius, item.columnSums);
    windows.startAt(item.firstRow);
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const uint16_t* row = item.in + static_cast<std::size_t>(y) * w;
        uint16_t* contrast = item.contrast + static_cast<std::size_t>(y) * w;
        windows.forEachChunk(y, [&](int x0, int count, const double* sum, const double* pixels) {
            item.writeDeviations({row + x0, sum, pixels, count}, DeviationDivisor::QuarterWindow,
                                 DeviationOutput::Store, half, contrast + x0);
        });
        if (y + 1 < item.endRow)
            windows.advance(y);
        if (!item.tick())
            return false;
    }
    return true;
}

// out = (trunc((L / 65535)^g * 65535 * Softness) + L * (150 - Softness)) / 150,
// g from the second weight table at the soft contrast value.
void blendRow(const SoftenItem& item, int y)
{
    const std::size_t offset = static_cast<std::size_t>(y) * item.width;
    const uint16_t* in = item.in + offset;
    const uint16_t* map = item.softMap + offset;
    uint16_t* out = item.out + offset;
    const float softness = static_cast<float>(item.softness);
    const int keep = kMaxSoftness - item.softness;
    for (int x = 0; x < item.width; ++x) {
        const float v = std::pow(static_cast<float>(in[x]) / 65535.0f, item.exponents[map[x]]);
        const int64_t curved = static_cast<int64_t>(v * 65535.0f * softness);
        out[x] = static_cast<uint16_t>((curved + int64_t(in[x]) * keep) / kMaxSoftness);
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
           blurBandRows(item, item.contrast, item.horizontal, *item.kernel) && item.passDone() &&
           blurItemColumns(item, item.horizontal, item.softMap, *item.kernel) && item.passDone() &&
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

bool runSofteningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out, bool firstRun)
{
    ctx.statusCode.store(StatusCode::Softening, std::memory_order_relaxed);
    ctx.percent.store(0, std::memory_order_relaxed);
    const int width = state.width;
    const int height = state.height;
    const int softness = ctx.current.Softness;
    const int radius = softeningBoxRadius(width, height);
    uint16_t* const softMap = softeningMap(state).data();
    if (!in || !out || width <= 0 || height <= 0 || softness > kMaxSoftness || !softMap ||
        !state.secondWeightTable() || !BoxWindows::fits(radius, height))
        return false;
    std::optional<GaussianKernel> kernel;
    if (firstRun) {
        kernel = makeGaussianKernel(static_cast<float>(softeningSigma(width, height)));
        if (!kernel)
            return false;
    }

    auto items = makeWorkItems<SoftenItem>(splitBands(height, ctx.workerCount), width, height, ctx.valueScale);
    const ColumnSumRows columnSums = softeningColumnSums(state, items.size());
    if (columnSums.empty())
        return false;
    const DeviationWriter writeDeviations = deviationWriter();
    for (SoftenItem& item : items) {
        item.in = in;
        item.out = out;
        item.contrast = softeningContrast(state).data();
        item.horizontal = softeningHorizontalPass(state).data();
        item.columnSums = columnSums.row(item.index);
        item.softMap = softMap;
        item.exponents = state.secondWeightTable();
        item.kernel = kernel ? &*kernel : nullptr;
        item.writeDeviations = writeDeviations;
        item.radius = radius;
        item.softness = softness;
    }
    StageOptions options;
    options.statusCode = StatusCode::Softening;
    options.totalWork = int64_t(width) + 2 * int64_t(height);
    return runStage(ctx, state.abort, items, options, softenWorker);
}

}  // namespace qv
