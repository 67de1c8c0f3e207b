#pragma once

#include <cstdint>
#include <optional>

namespace qv {

class Bitmap;
struct Histograms;
struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// What the final output takes from the settings.
struct OutputParams {
    int gamma = 6;
    float saturation = 1.0f;  // the chroma factor: `Saturation` / 10, 0 in black and white

    // Nothing when `Gamma` or `Saturation` is out of its range.
    static std::optional<OutputParams> from(const ToneSettings& settings);
};

// Converts the final luma and chroma planes into the 24-bit output bitmap
// (locked by the caller) and the 48-bit result buffer, applying `Gamma`,
// `Saturation` and the black-and-white mode, and counts the histograms.
// False on failure, abort or out-of-range settings.
bool renderOutput(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, const int16_t* chroma,
                  Bitmap& output);

// Fills the combined histogram from the channel histograms and rescales the
// channel bins so that the fullest combined bin reads 300.
void normaliseHistograms(Histograms& h);

}  // namespace qv
