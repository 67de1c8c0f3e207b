#pragma once

#include <cstdint>
#include <optional>

#include "settings/colour_mode.h"

namespace qv {

class Bitmap;
struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// What the merging stage combines: the source luminance and chroma, the
// area brightness, the processed luma and the working bitmap (locked).
struct MergeInputs {
    const uint16_t* luminance;
    const uint16_t* regionSource;
    const uint16_t* luma;
    const int16_t* sourceChroma;
    const Bitmap& working;
};

// What the merging stage takes from the settings and the context.
struct MergeParams {
    ColourMode mode = ColourMode::Natural;
    int opacityDark = 50;   // `Opacity`, percent
    int opacityBright = 50; // `Opacity2`, percent
    int grayOffset = 0;     // area brightness shift from `GrayPoint`
    int valueScale = 65536;

    // Nothing when `Mode` names no colour mode or an opacity or the grey
    // point is out of its range.
    static std::optional<MergeParams> from(const ToneSettings& settings, int valueScale);
};

// The area brightness shift of a grey point 0..100 (50 is neutral).
int grayPointOffset(int grayPoint, int valueScale);

// The weight in percent (0..100) of the processed pixel over the source
// pixel where the area brightness is `area`.
int areaWeight(const MergeParams& params, int area);

// Combines the processed luma with the source colour and blends the result
// with the source by area brightness, into the merged luma and chroma planes
// of the state. False on failure, abort or out-of-range settings.
bool runMergingStage(ProcessingContext& ctx, PipelineState& state, const MergeInputs& inputs);

}  // namespace qv
