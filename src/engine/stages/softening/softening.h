#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// The blend's full scale: `Softness` at its greatest value.
inline constexpr int kSofteningScale = 150;

// What a run of the stage takes from the settings and the image size.
struct SofteningParams {
    int softness = 0;
    int radius = 0;  // softeningBoxRadius
    int sigma = 0;   // softeningSigma

    // Nothing when `Softness` is out of its range.
    static std::optional<SofteningParams> from(const ToneSettings& settings, int width, int height);
};

// Softening filter: each luma value L is raised to an exponent taken from
// a heavily blurred map of local contrast (brighter than the wide
// surroundings: below 1, lifted; darker: above 1, lowered) and mixed with L
// in the proportion Softness : (kSofteningScale - Softness).
//
// When `inputChanged` (the luma changed since the map was made) the soft
// contrast map is rebuilt into the last quarter of the pair accumulator;
// otherwise only the blend runs on the cached map.
bool runSofteningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out,
                       bool inputChanged);

// Radius of the local-contrast window and spread of its blur, from the
// longer side M: 7 % and 2 % of M, at least 2 each.
int softeningBoxRadius(int width, int height);
int softeningSigma(int width, int height);

}  // namespace qv
