#pragma once

#include <cstdint>

namespace qv {

struct PipelineState;
struct ProcessingContext;

// Softening filter: each luma value L is raised to an exponent taken from
// a heavily blurred map of local contrast (brighter than the wide
// surroundings: below 1, lifted; darker: above 1, lowered) and mixed with L
// in the proportion Softness : (150 - Softness).
//
// On a first run (the luma changed since the map was made) the soft
// contrast map is rebuilt into the last quarter of the pair accumulator;
// otherwise only the blend runs on the cached map.
bool runSofteningStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out,
                       bool firstRun);

// Radius of the local-contrast window and spread of its blur, from the
// longer side M: 7 % and 2 % of M, at least 2 each.
int softeningBoxRadius(int width, int height);
int softeningSigma(int width, int height);

}  // namespace qv
