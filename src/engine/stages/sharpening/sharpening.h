#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// What a run of the stage takes from the settings.
struct SharpenParams {
    float amount = 0.0f;  // Sharpness / 100
    float sigma = 0.7f;   // SharpnessRadius / 10

    // Nothing when `Sharpness` or `SharpnessRadius` is out of its range.
    static std::optional<SharpenParams> from(const ToneSettings& settings);
};

// Unsharp mask with a soft noise threshold: each luma value A moves away
// from its Gaussian blur (spread SharpnessRadius / 10) by Sharpness / 100
// of the difference; differences below 1024 get proportionally less, so
// flat, slightly noisy areas stay calm.
bool runSharpeningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

// One value: A pushed away from its blur by `amount`, with the soft
// threshold, truncated and clamped to 0..65535.
uint16_t sharpenValue(uint16_t a, uint64_t blur, float amount);

}  // namespace qv
