#include "engine/pipeline/pipeline_driver.h"

#include <bitset>
#include <chrono>
#include <initializer_list>
#include <iterator>
#include <thread>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/pipeline/scratch_plan.h"
#include "settings/colour_mode.h"
#include "text/status_codes.h"

namespace qv {

namespace {

template <class Stage, class... Args>
bool call(const Stage& stage, Args&&... args)
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

// The planes handed from stage to stage.
struct Handover {
    const uint16_t* luma = nullptr;
    const int16_t* chroma = nullptr;
    const uint16_t* regionSource = nullptr;  // the area brightness the merging reads
};

// What one stage run is called with.
struct StageCall {
    const PipelineStages& stages;
    ProcessingContext& ctx;
    PipelineState& st;
    const Handover& in;
    bool inputChanged;

    // Calls a stage function of the table with the context, the state and `args`.
    template <class Stage, class... Args>
    bool operator()(const Stage& stage, Args&&... args) const
    {
        return call(stage, ctx, st, std::forward<Args>(args)...);
    }
};

constexpr uint32_t stageSet(std::initializer_list<Stage> stages)
{
    uint32_t set = 0;
    for (Stage s : stages)
        set |= 1u << static_cast<int>(s);
    return set;
}

// One step of a run: a stage, the dirty bits that make it run again, the
// later stages its new result makes stale, when it is switched on, how it is
// called and what it hands on.
struct StageStep {
    Stage stage;
    uint32_t dirtyBits;
    uint32_t invalidates;
    // Bits that leave the stage's luma result as it was; when only they are
    // set on a valid stage, the stages of `lumaInvalidates` stay valid.
    uint32_t lumaKeepingBits;
    uint32_t lumaInvalidates;
    bool (*enabled)(const ToneSettings&);
    bool (*handsOn)(const ToneSettings&);  // whether later stages read its result
    bool (*run)(const StageCall&);
    void (*handOver)(PipelineState&, Handover&);
};

bool always(const ToneSettings&) { return true; }
bool smoothingOn(const ToneSettings& s) { return s.Smoothing != 0; }
bool curveOn(const ToneSettings& s) { return s.Contrast < 100; }
bool regionOn(const ToneSettings& s) { return s.DetectSH != 0; }
// Black and white has no colour to clean; its output still reads the
// denoised plane, and gives chroma no weight.
bool colorNROn(const ToneSettings& s) { return s.ColorNR != 0 && !isBlackAndWhite(s.Mode); }
bool colorNRHandsOn(const ToneSettings& s) { return s.ColorNR != 0; }
bool softeningOn(const ToneSettings& s) { return s.Softness != 0; }
bool lightOn(const ToneSettings& s) { return s.Lightness != 0; }
bool sharpeningOn(const ToneSettings& s) { return s.Sharpness != 0; }

bool runDetail(const StageCall& c) { return c(c.stages.detail, c.st.luminancePlane(), c.st.detail.as<uint16_t>()); }
bool runSmoothing(const StageCall& c) { return c(c.stages.smoothing, c.in.luma, c.st.smoothed.as<uint16_t>()); }
bool runCurve(const StageCall& c)
{
    return c(c.stages.toneCurve, c.in.luma, toneCurveLuma(c.st).data(), c.inputChanged);
}
bool runRegion(const StageCall& c) { return c(c.stages.region, c.st.luminancePlane(), c.st.region.as<uint16_t>()); }
bool runMerge(const StageCall& c)
{
    PipelineState& st = c.st;
    return c(c.stages.merge,
             MergeInputs{st.luminancePlane(), c.in.regionSource, c.in.luma, st.sourceChromaPlane(), *st.working});
}
bool runColorNR(const StageCall& c)
{
    return c(c.stages.colorNR, c.in.luma, c.in.chroma, c.st.denoisedChroma.as<int16_t>());
}
bool runSoften(const StageCall& c)
{
    return c(c.stages.soften, c.in.luma, c.st.softened.as<uint16_t>(), c.inputChanged);
}
bool runLight(const StageCall& c) { return c(c.stages.light, c.in.luma, c.st.light.as<uint16_t>(), c.inputChanged); }
bool runSharpen(const StageCall& c) { return c(c.stages.sharpen, c.in.luma, c.st.sharpened.as<uint16_t>()); }

void handDetail(PipelineState& st, Handover& h) { h.luma = st.detail.as<uint16_t>(); }
void handSmoothed(PipelineState& st, Handover& h) { h.luma = st.smoothed.as<uint16_t>(); }
void handCurve(PipelineState& st, Handover& h) { h.luma = toneCurveLuma(st).data(); }
void handRegion(PipelineState& st, Handover& h) { h.regionSource = st.region.as<uint16_t>(); }
void handMerged(PipelineState& st, Handover& h)
{
    h.luma = mergedLuma(st).data();
    h.chroma = mergedChroma(st).data();
}
void handDenoised(PipelineState& st, Handover& h) { h.chroma = st.denoisedChroma.as<int16_t>(); }
void handSoftened(PipelineState& st, Handover& h) { h.luma = st.softened.as<uint16_t>(); }
void handLight(PipelineState& st, Handover& h) { h.luma = st.light.as<uint16_t>(); }
void handSharpened(PipelineState& st, Handover& h) { h.luma = st.sharpened.as<uint16_t>(); }

// The stage order with each stage's gating and downstream invalidation.
// Invalidation flows only forward. The colour mode leaves the merged luma as
// it was, so the luma stages after merging stay valid when it alone changed.
constexpr uint32_t kMergeBits = DirtyBits::MergeMode | DirtyBits::MergeOpacity;
constexpr uint32_t kAfterMergeLuma = stageSet({Stage::Softening, Stage::Light, Stage::Sharpening});
constexpr StageStep kSteps[] = {
    // stage, bits, invalidates, luma-keeping bits, luma invalidates, on, hands on, run, hand over
    {Stage::Detail, DirtyBits::Details, stageSet({Stage::Smoothing}), 0, 0, always, always, runDetail, handDetail},
    {Stage::Smoothing, DirtyBits::Smoothing, stageSet({Stage::ToneCurve}), 0, 0, smoothingOn, smoothingOn,
     runSmoothing, handSmoothed},
    {Stage::ToneCurve, DirtyBits::Curve, stageSet({Stage::Merging}), 0, 0, curveOn, curveOn, runCurve, handCurve},
    {Stage::Region, DirtyBits::Region, stageSet({Stage::Merging}), 0, 0, regionOn, regionOn, runRegion, handRegion},
    {Stage::Merging, kMergeBits, stageSet({Stage::ColorNR}), DirtyBits::MergeMode, kAfterMergeLuma, always, always,
     runMerge, handMerged},
    {Stage::ColorNR, DirtyBits::ColorNR, 0, 0, 0, colorNROn, colorNRHandsOn, runColorNR, handDenoised},
    {Stage::Softening, DirtyBits::Softness, stageSet({Stage::Light, Stage::Sharpening}), 0, 0, softeningOn,
     softeningOn, runSoften, handSoftened},
    {Stage::Light, DirtyBits::Light, stageSet({Stage::Sharpening}), 0, 0, lightOn, lightOn, runLight, handLight},
    {Stage::Sharpening, DirtyBits::Sharpen, 0, 0, 0, sharpeningOn, sharpeningOn, runSharpen, handSharpened},
};
static_assert(std::size(kSteps) == kStageCount);

// Marks the stages of `set` stale, with a changed input.
void invalidate(StageFlags& flags, uint32_t set)
{
    const std::bitset<kStageCount> stale(set);
    flags.valid &= ~stale;
    flags.inputChanged |= stale;
}

// One step: a stage whose dirty bits are set or whose result is not valid
// runs again (when switched on; a stage switched off counts as valid) after
// making the stages that read its result stale. Its bits are cleared once it
// has succeeded; a failure keeps them, so that the next run resumes there.
bool runStep(const StageStep& step, ProcessingContext& ctx, PipelineState& st, const PipelineStages& stages,
             Handover& planes)
{
    StageFlags& f = st.flags;
    const ToneSettings& s = ctx.current;
    const auto i = static_cast<std::size_t>(step.stage);
    const uint32_t dirty = ctx.dirtyMask.load(std::memory_order_relaxed) & step.dirtyBits;
    if (dirty != 0 || !f.valid[i]) {
        const bool lumaKept = f.valid[i] && dirty != 0 && (dirty & ~step.lumaKeepingBits) == 0;
        invalidate(f, step.invalidates | (lumaKept ? 0 : step.lumaInvalidates));
        bool ok = true;
        if (step.enabled(s)) {
            ok = step.run({stages, ctx, st, planes, f.inputChanged[i]});
            if (ok)
                f.inputChanged[i] = false;
        }
        f.valid[i] = ok;
        if (!ok)
            return false;
    }
    ctx.dirtyMask &= ~step.dirtyBits;
    if (step.handsOn(s))
        step.handOver(st, planes);
    return true;
}

// Steps 3 to 14 of a run, with the working bitmap locked.
bool runStages(ProcessingContext& ctx, PipelineState& st, const PipelineStages& stages)
{
    Handover planes;
    planes.regionSource = st.luminancePlane();
    for (const StageStep& step : kSteps)
        if (!runStep(step, ctx, st, stages, planes))
            return false;

    // Final output, into the output bitmap that the view may be holding.
    bool result = false;
    if (lockOutput(*st.output, stages, st.abort)) {
        result = call(stages.finalOutput, ctx, st, planes.luma, planes.chroma, *st.output);
        st.output->unlock();
    }
    ctx.dirtyMask &= ~DirtyBits::Output;
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
