#pragma once

#include <cstdint>

namespace qv {

struct PipelineState;
struct ProcessingContext;

// Unsharp mask with a soft noise threshold: each luma value A moves away
// from its Gaussian blur (spread SharpnessRadius / 10) by Sharpness / 100
// of the difference; differences below 1024 get proportionally less, so
// flat, slightly noisy areas stay calm.
bool runSharpeningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

// One value: A pushed away from its blur by `amount`, with the soft
// threshold, truncated and clamped to 0..65535.
uint16_t sharpenValue(uint16_t a, uint64_t blur, float amount);

}  // namespace qv
