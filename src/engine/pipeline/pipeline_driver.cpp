#include "engine/pipeline/pipeline_driver.h"

#include <chrono>
#include <thread>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "text/status_codes.h"

namespace qv {

namespace {

// Calls a stage that keeps a preparation of its own: the first-run argument
// is "not seen yet", and a first successful run marks the input as seen.
template <class Stage, class... Args>
bool runCached(const Stage& stage, bool& seen, ProcessingContext& ctx, PipelineState& st, Args... args)
{
    if (!stage)
        return false;
    const bool ok = stage(ctx, st, args..., !seen);
    if (!seen)
        seen = ok;
    return ok;
}

template <class Stage, class... Args>
bool runStageFn(const Stage& stage, Args&&... args)
{
    return stage && stage(std::forward<Args>(args)...);
}

// Tries to lock the output bitmap, waiting between attempts. An aborted run
// stops waiting: its final output would fail at once anyway, and the window
// that aborted it waits for the thread to end.
bool lockOutput(Bitmap& output, const PipelineStages& stages, const std::atomic<bool>& abort)
{
    for (int attempt = 1; attempt <= stages.outputLockAttempts; ++attempt) {
        if (output.tryLock())
            return true;
        if (attempt == stages.outputLockAttempts || abort.load(std::memory_order_relaxed))
            break;
        std::this_thread::sleep_for(stages.outputLockDelay);
    }
    return false;
}

// Steps 3 to 14 of a run, with the working bitmap locked.
bool runStages(ProcessingContext& ctx, PipelineState& st, const PipelineStages& stages)
{
    StageFlags& f = st.flags;
    const ToneSettings& s = ctx.current;
    std::atomic<uint32_t>& mask = ctx.dirtyMask;
    auto has = [&](uint32_t bit) { return (mask.load(std::memory_order_relaxed) & bit) != 0; };

    // Detail extraction.
    if (has(DirtyBits::Details) || !f.okEnvelope) {
        f.okSmooth = false;
        f.okEnvelope = runStageFn(stages.detail, ctx, st, st.luminancePlane(), st.detail.as<uint16_t>());
        if (!f.okEnvelope)
            return false;
    }
    mask &= ~DirtyBits::Details;
    const uint16_t* luma = st.detail.as<uint16_t>();

    // Smoothing.
    const bool smoothingBit = has(DirtyBits::Smoothing);
    if (smoothingBit || !f.okSmooth) {
        f.okCurve = f.seenCurve = false;
        if (s.Smoothing != 0) {
            f.okSmooth = runStageFn(stages.smoothing, ctx, st, luma, st.smoothed.as<uint16_t>());
            if (!f.okSmooth)
                return false;
        } else {
            f.okSmooth = true;
        }
    }
    if (smoothingBit && s.Smoothing == 0)
        f.okCurve = f.seenCurve = false;
    mask &= ~DirtyBits::Smoothing;
    if (s.Smoothing != 0)
        luma = st.smoothed.as<uint16_t>();

    // Tone curve.
    if (has(DirtyBits::Curve) || !f.okCurve) {
        f.okMerge = false;
        if (s.Contrast >= 100) {
            f.okCurve = true;
        } else {
            f.okCurve = runCached(stages.toneCurve, f.seenCurve, ctx, st, luma, toneCurveLuma(st).data());
            if (!f.okCurve)
                return false;
        }
    }
    mask &= ~DirtyBits::Curve;
    if (s.Contrast < 100)
        luma = toneCurveLuma(st).data();

    // Region detection.
    const uint16_t* regionSource = st.luminancePlane();
    if (has(DirtyBits::Region) || !f.okRegion) {
        f.okMerge = false;
        if (s.DetectSH != 0) {
            f.okRegion = runStageFn(stages.region, ctx, st, st.luminancePlane(), st.region.as<uint16_t>());
            if (!f.okRegion)
                return false;
            regionSource = st.region.as<uint16_t>();
        } else {
            f.okRegion = true;
        }
    } else if (s.DetectSH != 0) {
        regionSource = st.region.as<uint16_t>();
    }
    mask &= ~DirtyBits::Region;

    // Merging. A change of the colour mode alone leaves the merged luma as it
    // was, so the luma stages after merging stay valid only then.
    const bool modeBit = has(DirtyBits::MergeMode);
    const bool opacityBit = has(DirtyBits::MergeOpacity);
    if (modeBit || opacityBit || !f.okMerge) {
        f.okChromaNR = false;
        const bool modeOnly = f.okMerge && modeBit && !opacityBit;
        if (!modeOnly) {
            f.okSoften = f.seenSoften = f.okLight = f.seenLight = false;
            f.okSharpen = false;
        }
        const MergeInputs inputs{st.luminancePlane(), regionSource, luma, st.sourceChromaPlane(), *st.working};
        f.okMerge = runStageFn(stages.merge, ctx, st, inputs);
        if (!f.okMerge)
            return false;
    }
    mask &= ~(DirtyBits::MergeMode | DirtyBits::MergeOpacity);
    luma = mergedLuma(st).data();
    const int16_t* chroma = mergedChroma(st).data();

    // Colour noise reduction.
    if (s.ColorNR == 0 || s.Mode == 8) {
        f.okChromaNR = true;
    } else if (has(DirtyBits::ColorNR) || !f.okChromaNR) {
        f.okChromaNR = runStageFn(stages.colorNR, ctx, st, luma, chroma, st.denoisedChroma.as<int16_t>());
        if (!f.okChromaNR)
            return false;
    }
    mask &= ~DirtyBits::ColorNR;
    if (s.ColorNR != 0)
        chroma = st.denoisedChroma.as<int16_t>();

    // Softening.
    const bool softBit = has(DirtyBits::Softness);
    if (s.Softness == 0) {
        f.okSoften = true;
    } else if (softBit || !f.okSoften) {
        f.okLight = f.seenLight = false;
        f.okSharpen = false;
        f.okSoften = runCached(stages.soften, f.seenSoften, ctx, st, luma, st.softened.as<uint16_t>());
        if (!f.okSoften)
            return false;
    }
    if (softBit && s.Softness == 0) {
        f.okLight = f.seenLight = false;
        f.okSharpen = false;
    }
    mask &= ~DirtyBits::Softness;
    if (s.Softness != 0)
        luma = st.softened.as<uint16_t>();

    // Light.
    const bool lightBit = has(DirtyBits::Light);
    if (s.Lightness == 0) {
        f.okLight = true;
    } else if (lightBit || !f.okLight) {
        f.okSharpen = false;
        f.okLight = runCached(stages.light, f.seenLight, ctx, st, luma, st.light.as<uint16_t>());
        if (!f.okLight)
            return false;
    }
    if (lightBit && s.Lightness == 0)
        f.okSharpen = false;
    mask &= ~DirtyBits::Light;
    if (s.Lightness != 0)
        luma = st.light.as<uint16_t>();

    // Sharpening.
    if (s.Sharpness == 0) {
        f.okSharpen = true;
    } else if (has(DirtyBits::Sharpen) || !f.okSharpen) {
        f.okSharpen = runStageFn(stages.sharpen, ctx, st, luma, st.sharpened.as<uint16_t>());
        if (!f.okSharpen)
            return false;
    }
    mask &= ~DirtyBits::Sharpen;
    if (s.Sharpness != 0)
        luma = st.sharpened.as<uint16_t>();

    // Final output, into the output bitmap that the view may be holding.
    bool result = false;
    if (lockOutput(*st.output, stages, st.abort)) {
        result = runStageFn(stages.finalOutput, ctx, st, luma, chroma, *st.output);
        st.output->unlock();
    }
    mask &= ~DirtyBits::Output;
    return result;
}

}  // namespace

bool runPipeline(ProcessingContext& ctx, PipelineState& st, const PipelineStages& stages)
{
    const auto start = std::chrono::steady_clock::now();
    st.result = false;
    if (!st.output)
        return false;
    if (st.working && st.working->tryLock()) {
        st.result = runStages(ctx, st, stages);
        st.working->unlock();
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    ctx.elapsedMs.store(static_cast<uint32_t>(elapsed.count()), std::memory_order_relaxed);
    ctx.statusCode.store(StatusCode::RunEnded, std::memory_order_relaxed);
    return st.result;
}

}  // namespace qv
