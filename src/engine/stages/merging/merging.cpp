#include "engine/stages/merging/merging.h"

#include <algorithm>
#include <vector>

#include "engine/pipeline/pipeline_driver.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "engine/pipeline/stage_runner.h"
#include "engine/stages/merging/merge_rows.h"
#include "text/status_codes.h"

namespace qv {

std::optional<MergeParams> MergeParams::from(const ToneSettings& settings, int valueScale)
{
    const std::optional<ColourMode> mode = colourModeOf(settings.Mode);
    if (!mode || !inFieldRange(settings, &ToneSettings::Opacity) || !inFieldRange(settings, &ToneSettings::Opacity2) ||
        !inFieldRange(settings, &ToneSettings::GrayPoint))
        return std::nullopt;
    MergeParams p;
    p.mode = *mode;
    p.opacityDark = settings.Opacity;
    p.opacityBright = settings.Opacity2;
    p.grayOffset = grayPointOffset(settings.GrayPoint, valueScale);
    p.valueScale = valueScale;
    return p;
}

int grayPointOffset(int grayPoint, int valueScale)
{
    return valueScale * (((grayPoint - 50) * 256) / 100) / 256;
}

int areaWeight(const MergeParams& p, int area)
{
    const int v = p.valueScale;
    const int knee = v * 160 / 256;
    const int span = v * 190 / 256;
    const int dark = std::clamp(p.opacityDark * ((p.grayOffset + v - area - 1) * 2 - knee) / span, 0, p.opacityDark);
    const int bright = std::clamp(((area - p.grayOffset) * 2 - knee) * p.opacityBright / span, 0, p.opacityBright);
    return std::min(dark + bright, std::max(p.opacityDark, p.opacityBright));
}

namespace {

struct MergeItem : WorkItem {
    const MergeInputs* in = nullptr;
    const uint8_t* weights = nullptr;  // areaWeight for every area brightness
    ColourMode mode = ColourMode::Natural;
    MergeRowLoops loops{};
    uint16_t* luma = nullptr;
    int16_t* chroma = nullptr;
};

// Step 1: the processed luma and the colour carried over to it.
void carryColourRow(const MergeRow& r, ColourMode mode, const MergeRowLoops& loops)
{
    std::copy(r.processed, r.processed + r.width, r.luma);
    switch (mode) {
    case ColourMode::Natural: loops.scaleChroma(r, true); break;
    case ColourMode::Vivid: loops.scaleChroma(r, false); break;
    case ColourMode::Artistic: loops.relight(r); break;
    case ColourMode::Muted: std::copy(r.sourceChroma, r.sourceChroma + 2 * r.width, r.chroma); break;
    case ColourMode::BlackAndWhite: std::fill(r.chroma, r.chroma + 2 * r.width, int16_t{0}); break;
    }
}

bool mergeWorker(MergeItem& item)
{
    const MergeInputs& in = *item.in;
    const int width = item.width;
    for (int y = item.firstRow; y < item.endRow; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * width;
        const MergeRow r{in.luminance + at,
                         in.regionSource + at,
                         in.luma + at,
                         in.sourceChroma + 2 * at,
                         item.mode == ColourMode::Artistic ? in.working.row16(y) : nullptr,
                         item.luma + at,
                         item.chroma + 2 * at,
                         width,
                         item.valueScale};
        carryColourRow(r, item.mode, item.loops);
        if (!item.tick())
            return false;
        item.loops.blend(r, item.weights);
        if (!item.tick())
            return false;
    }
    return true;
}

bool inputsValid(PipelineState& state, const MergeInputs& in, ColourMode mode)
{
    if (state.width <= 0 || state.height <= 0 || mergedLuma(state).empty() || mergedChroma(state).empty())
        return false;
    if (!in.luminance || !in.regionSource || !in.luma || !in.sourceChroma)
        return false;
    return mode != ColourMode::Artistic || (in.working.format() == PixelFormat::Bgr48 &&
                                            in.working.width() == state.width && in.working.height() == state.height);
}

}  // namespace

bool runMergingStage(ProcessingContext& ctx, PipelineState& state, const MergeInputs& inputs)
{
    beginStage(ctx, StatusCode::Merging);
    const std::optional<MergeParams> params = MergeParams::from(ctx.current, ctx.valueScale);
    if (!params || !inputsValid(state, inputs, params->mode))
        return false;

    // Padded for the blend's 4-byte reads (see MergeRowLoops).
    std::vector<uint8_t> weights(65536 + 3);
    for (int a = 0; a < 65536; ++a)
        weights[a] = static_cast<uint8_t>(areaWeight(*params, a));

    const MergeRowLoops loops = MergeRowLoops::pick();
    const int h = state.height;
    auto items = stageItems<MergeItem>(ctx, state.width, h);
    for (MergeItem& item : items) {
        item.in = &inputs;
        item.weights = weights.data();
        item.mode = params->mode;
        item.loops = loops;
        item.luma = mergedLuma(state).data();
        item.chroma = mergedChroma(state).data();
    }
    StageOptions options;
    options.totalWork = 2 * static_cast<int64_t>(h);
    return runStage(ctx, state.abort, items, options, mergeWorker);
}

}  // namespace qv
