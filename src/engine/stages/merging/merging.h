#pragma once

#include <cstdint>

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
    int mode = 0;           // colour mode: 0, 1, 2, 7 or 8
    int opacityDark = 50;   // `Opacity`, percent
    int opacityBright = 50; // `Opacity2`, percent
    int grayOffset = 0;     // area brightness shift from `GrayPoint`
    int valueScale = 65536;

    static MergeParams from(const ToneSettings& settings, int valueScale);
};

// The colour modes the stage knows; any other value fails the stage.
bool isMergeModeSupported(int mode);

// The area brightness shift of a grey point 0..100 (50 is neutral).
int grayPointOffset(int grayPoint, int valueScale);

// The weight in percent (0..100) of the processed pixel over the source
// pixel where the area brightness is `area`.
int areaWeight(const MergeParams& params, int area);

// Combines the processed luma with the source colour and blends the result
// with the source by area brightness, into the merged luma and chroma planes
// of the state. False on failure, abort or an unknown colour mode.
bool runMergingStage(ProcessingContext& ctx, PipelineState& state, const MergeInputs& inputs);

}  // namespace qv
