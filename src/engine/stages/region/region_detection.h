#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// The spread of the area blur for a W x H image:
// max(W, H) * DetectSH / 200, at least 1.
int regionSigma(int width, int height, int detectSH);

// What a run of the stage takes from the settings.
struct RegionParams {
    int sigma = 1;

    // Nothing when `DetectSH` is out of its range.
    static std::optional<RegionParams> from(const ToneSettings& settings, int width, int height);
};

// Blurs the source luminance `in` into the region plane `out` with a wide
// Gaussian (regionSigma), which tells the merging how bright each pixel's
// surrounding area is. False on abort, on a `DetectSH` out of its range, or
// when the state's planes are missing.
bool runRegionStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* in, uint16_t* out);

}  // namespace qv
