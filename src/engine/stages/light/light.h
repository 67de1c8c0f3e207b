#pragma once

#include <cstdint>
#include <optional>

namespace qv {

struct PipelineState;
struct ProcessingContext;
struct ToneSettings;

// The largest window radius of the light map: 18 % of the longer side, at least 2.
int lightFirstRadius(int width, int height);
// The steps the progress bar counts for a light map of first radius r0
// (one more than the radii actually used when r0 > 2).
int lightProgressLevels(int firstRadius);
// The radii of the light map: r0, r0/2, ... while above 2, r0 always.
int lightRadiusCount(int firstRadius);

// What a run of the stage takes from the settings and the image size.
struct LightParams {
    int lightness = 0;    // percent of the overlay in the blend
    int firstRadius = 2;  // lightFirstRadius

    // Nothing when `Lightness` is out of its range.
    static std::optional<LightParams> from(const ToneSettings& settings, int width, int height);
};

// The overlay of a luma value b with a light map value m (both 0..65535):
// multiply below mid-grey, screen above.
inline uint16_t lightOverlay(uint32_t b, uint32_t m)
{
    const uint32_t v = b < 32768 ? (m * b) >> 15 : 65535 - (((65535 - m) * (65535 - b)) >> 15);
    return static_cast<uint16_t>(v);
}

// One row of the blend: out = (luma * (100 - lightness) + overlay *
// lightness) / 100, truncated, the overlay taken with the light map.
using LightBlendRow = void (*)(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness);
void blendLightRowPlain(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness);
// Eight pixels at a time, the same bits.
void blendLightRowAvx2(const uint16_t* luma, const uint16_t* map, uint16_t* out, int width, int lightness);
LightBlendRow lightBlendRow();

// Mixes the overlay of `luma` with the light map into `out` by `Lightness`.
// When `inputChanged` the light map (state.lightMap) is first rebuilt from
// the luminance plane; otherwise the cached map is used. False on failure
// or abort.
bool runLightStage(ProcessingContext& ctx, PipelineState& state, const uint16_t* luma, uint16_t* out,
                   bool inputChanged);

}  // namespace qv
