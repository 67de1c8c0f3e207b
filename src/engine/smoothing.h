#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/smoothing_spike.h"
#include "engine/smoothing_walk.h"
#include "engine/walk_method.h"

namespace qv {

struct ProcessingContext;
struct PipelineState;

// The constants of one run, from the value scale and `Smoothing` (1..10).
struct SmoothingParams {
    int strength = 0;
    SpikeRule firstSpike{};
    SpikeRule secondSpike{};
    std::array<WalkBand, 3> firstWalks{};  // averaged
    WalkBand secondWalk{};
    bool secondPass = false;  // at strength 10
};
SmoothingParams smoothingParams(int valueScale, int strength);

// Smooths the width x height plane `in` into `out` with the context's worker
// count, publishing the status and percentage in the context. False on abort,
// lack of memory or out-of-range input (size, strength 1..10, `out` the same
// plane as `in`).
bool runSmoothing(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height, const uint16_t* in,
                  uint16_t* out, int strength, WalkMethod method = WalkMethod::Vector);

// The pipeline stage: the current luma into the smoothed plane.
bool runSmoothingStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

}  // namespace qv
