#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "engine/kernels/walk_method.h"
#include "engine/stages/smoothing/smoothing_spike.h"
#include "engine/stages/smoothing/smoothing_walk.h"

namespace qv {

struct ProcessingContext;
struct PipelineState;
struct ToneSettings;

// The constants of one run, from the value scale and `Smoothing`.
struct SmoothingParams {
    int strength = 0;
    SpikeRule firstSpike{};
    SpikeRule secondSpike{};
    std::array<WalkBand, 3> firstWalks{};  // averaged
    WalkBand secondWalk{};
    bool secondPass = false;  // at strength 10

    // Nothing when `Smoothing` is 0 (the stage is off) or out of its range,
    // or the value scale is not 256..65536.
    static std::optional<SmoothingParams> from(const ToneSettings& settings, int valueScale);
};

// Smooths the width x height plane `in` into `out` by the context's
// `Smoothing` with its worker count, publishing the status and percentage
// in the context. `scratch` (width x height values, apart from both) holds
// the second pass's filtered plane at strength 10 and is not used below.
// False on abort, lack of memory or out-of-range input (size, strength,
// `out` the same plane as `in`, no scratch where one is needed).
bool runSmoothing(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height, const uint16_t* in,
                  uint16_t* out, uint16_t* scratch, WalkMethod method = WalkMethod::Shortcut);

// The pipeline stage: the current luma into the smoothed plane.
bool runSmoothingStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

}  // namespace qv
