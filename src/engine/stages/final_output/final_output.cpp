#include "engine/stages/final_output/final_output.h"

#include <algorithm>
#include <limits>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "engine/stages/final_output/output_gamma.h"
#include "engine/stages/final_output/output_row.h"
#include "settings/colour_mode.h"
#include "text/status_codes.h"

namespace qv {

namespace {

struct OutputItem : WorkItem {
    const uint16_t* luma = nullptr;
    const int16_t* chroma = nullptr;
    Bitmap* output = nullptr;
    uint16_t* result = nullptr;
    const float* gammaTable = nullptr;
    float saturation = 1.0f;
    OutputRowConverter convert = nullptr;
    ChannelHistograms counts;  // this worker's own, added up after the join
};

bool outputWorker(OutputItem& it)
{
    for (int y = it.firstRow; y < it.endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * it.width;
        const OutputRow row{it.luma + at, it.chroma + 2 * at, it.result + 3 * at, it.output->row(y), it.width};
        it.convert(row, it.gammaTable, it.saturation, it.counts);
        if (!it.tick())
            return false;
    }
    return true;
}

bool inputsValid(const PipelineState& state, const uint16_t* luma, const int16_t* chroma, const Bitmap& output)
{
    const std::size_t pixels = state.pixelCount();
    if (state.width <= 0 || state.height <= 0 || !luma || !chroma || resultBuffer(state).empty())
        return false;
    // The combined pixel count is three times the pixel count, in 32 bits.
    if (pixels > std::numeric_limits<uint32_t>::max() / 3)
        return false;
    return output.format() == PixelFormat::Bgr24 && output.width() == state.width && output.height() == state.height;
}

void addCounts(Histograms& h, const ChannelHistograms& c)
{
    for (int i = 0; i < 256; ++i) {
        h.red[i] += c.red[i];
        h.green[i] += c.green[i];
        h.blue[i] += c.blue[i];
    }
    h.redCount += c.pixels;
    h.greenCount += c.pixels;
    h.blueCount += c.pixels;
}

}  // namespace

void normaliseHistograms(Histograms& h)
{
    for (int i = 0; i < 256; ++i)
        h.combined[i] = h.red[i] + h.green[i] + h.blue[i];
    h.combinedCount = h.redCount + h.greenCount + h.blueCount;

    const uint32_t fullest = *std::max_element(h.combined.begin(), h.combined.end());
    const float f = static_cast<float>(static_cast<double>(fullest) / 100 / 3);
    if (!(f > 0))
        return;
    for (auto* channel : {&h.red, &h.green, &h.blue})
        for (uint32_t& bin : *channel)
            bin = static_cast<uint32_t>(static_cast<float>(bin) / f);
}

std::optional<OutputParams> OutputParams::from(const ToneSettings& settings)
{
    if (!inFieldRange(settings, &ToneSettings::Gamma) || !inFieldRange(settings, &ToneSettings::Saturation))
        return std::nullopt;
    const float saturation = isBlackAndWhite(settings.Mode) ? 0.0f : static_cast<float>(settings.Saturation) / 10.0f;
    return OutputParams{settings.Gamma, saturation};
}

bool renderOutput(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, const int16_t* chroma,
                  Bitmap& output)
{
    beginStage(ctx, StatusCode::FinalOutput);
    state.histograms = {};
    const std::optional<OutputParams> params = OutputParams::from(ctx.current);
    if (!params || !inputsValid(state, luma, chroma, output))
        return false;
    const float* gammaTable = outputGammaTable(params->gamma);
    if (!gammaTable)
        return false;

    const int h = state.height;
    const OutputRowConverter convert = outputRowConverter();
    auto items = stageItems<OutputItem>(ctx, state.width, h);
    for (OutputItem& item : items) {
        item.luma = luma;
        item.chroma = chroma;
        item.output = &output;
        item.result = resultBuffer(state).data();
        item.gammaTable = gammaTable;
        item.saturation = params->saturation;
        item.convert = convert;
    }
    StageOptions options;
    options.totalWork = h;
    const bool ok = runStage(ctx, state.abort, items, options, outputWorker);

    Histograms& hist = state.histograms;
    for (const OutputItem& item : items)
        addCounts(hist, item.counts);
    if (!ok)
        return false;
    normaliseHistograms(hist);
    return true;
}

}  // namespace qv
