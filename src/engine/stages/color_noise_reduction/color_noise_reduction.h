#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "engine/kernels/walk_method.h"
#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/processing_context.h"
#include "engine/stages/color_noise_reduction/chroma_walk.h"

namespace qv {

// The ray list every run uses.
inline constexpr int kRayRadius = 8;
inline constexpr float kRayAngleStep = 0.1f;


// Smooths both chroma components of the interleaved (U, V) plane `chroma`
// into `out` (width x height), guided by `luma`, over the ray list `rays`,
// by the context's `ColorNR` with its worker count; publishes the status and
// percentage. `scratch` (2 x width x height values, apart from the planes)
// holds the components one plane each. False on abort, lack of memory or
// out-of-range input (size, strength, an empty or overlong ray list, `out`
// the same plane as `chroma`, no scratch).
bool runColorNoiseReduction(ProcessingContext& ctx, const std::atomic<bool>& abort, int width, int height,
                            const uint16_t* luma, const int16_t* chroma, int16_t* out, uint16_t* scratch,
                            std::span<const RayEntry> rays, WalkMethod method = WalkMethod::Shortcut);

// The pipeline stage: rebuilds the state's ray list, then the merged chroma
// into the denoised chroma plane.
bool runColorNoiseReductionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, const int16_t* chroma,
                      int16_t* out);

}  // namespace qv
