#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "engine/stages/merging/merging.h"

namespace qv {

class Bitmap;
struct ProcessingContext;
struct PipelineState;

// The stage functions the driver calls, in pipeline order. Each returns
// true when every worker finished; false on failure or abort.
struct PipelineStages {
    using LumaStage = std::function<bool(ProcessingContext&, PipelineState&, const uint16_t* in, uint16_t* out)>;
    using CachedLumaStage =
        std::function<bool(ProcessingContext&, PipelineState&, const uint16_t* in, uint16_t* out, bool inputChanged)>;

    LumaStage detail;        // luminance -> detail plane
    LumaStage smoothing;     // current luma -> smoothed plane
    CachedLumaStage toneCurve;  // current luma -> curve plane
    LumaStage region;        // luminance -> region plane
    std::function<bool(ProcessingContext&, PipelineState&, const MergeInputs&)> merge;  // -> merged planes
    std::function<bool(ProcessingContext&, PipelineState&, const uint16_t* luma, const int16_t* chroma, int16_t* out)>
        colorNR;             // merged planes -> denoised chroma
    CachedLumaStage soften;  // current luma -> softened plane
    CachedLumaStage light;   // current luma -> light plane
    LumaStage sharpen;       // current luma -> sharpened plane
    std::function<bool(ProcessingContext&, PipelineState&, const uint16_t* luma, const int16_t* chroma, Bitmap& output)>
        finalOutput;         // -> output bitmap, 48-bit result, histograms

    // The output bitmap may be held by the view: how often and how far apart
    // the driver tries to lock it.
    int outputLockAttempts = 100;
    std::chrono::milliseconds outputLockDelay{300};
};

// The stages of the program.
const PipelineStages& pipelineStages();

// One incremental run over the state: re-runs each enabled stage whose
// dirty bit is set or whose cache is not valid, then the final output.
// Returns the run's result (true on success).
bool runPipeline(ProcessingContext& ctx, PipelineState& state, const PipelineStages& stages);

}  // namespace qv
