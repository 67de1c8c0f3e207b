#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "engine/stages/color_noise_reduction/ray_list.h"

namespace qv {

struct ToneSettings;

// The tolerances of one colour noise reduction pass.
struct ChromaPass {
    int slew;       // the walk's chroma follows each neighbour to within this
    int tolerance;  // a neighbour is taken while that chroma stays this close to the centre's
};

// The tolerances of a run: two passes, averaged, and the luminance
// tolerance both share.
struct ColorNRParams {
    std::array<ChromaPass, 2> passes{};
    int lumaTolerance = 0;

    // The tolerances of a run by `ColorNR`; nothing when it is 0 (the stage
    // is off) or out of its range, or the value scale is not 256..65536.
    static std::optional<ColorNRParams> from(const ToneSettings& settings, int valueScale);
};

// The literal walk at (x, y) over the ray list, on chroma component
// `component` of the interleaved (U, V) plane `chroma` and on `luma`
// (width x height each): the mean of the centre's chroma and of the
// slew-limited chroma at every neighbour taken. A neighbour is taken while
// that chroma and the neighbour's luminance stay within their tolerances of
// the centre's; a neighbour refused also passes over the rest of its run of
// farther entries and one entry more.
int chromaWalk(const int16_t* chroma, const uint16_t* luma, int width, int height, int x, int y, int component,
               std::span<const RayEntry> rays, ChromaPass pass, int lumaTolerance);

// Chroma samples are held as 16-bit values offset by 32768 (order kept), so
// that one range scanner serves chroma and luma.
inline uint16_t offsetChroma(int16_t c) { return static_cast<uint16_t>(c ^ 0x8000); }

// One ray entry as an address offset in the planes.
struct RayStep {
    int32_t offset;  // dy * width + dx
    int16_t dx;
    int16_t dy;
    int16_t resume;  // the entry after this one's run of farther entries and one more
};

// Everything the walks of columns xBegin..xEnd-1 of one image row read.
// The planes are width x height, rows `width` apart.
struct ChromaRow {
    const int16_t* sourceChroma;  // the interleaved plane, for walks one by one
    const uint16_t* luma;
    int component;
    const uint16_t* chroma;  // that component, offset by 32768
    int width;
    int height;
    int y;
    int xBegin;
    int xEnd;
    const uint16_t* chromaMin;  // least and greatest offset chroma and luma over each
    const uint16_t* chromaMax;  // pixel's ray neighbourhood, from column xBegin on
    const uint16_t* lumaMin;
    const uint16_t* lumaMax;
    std::span<const RayEntry> rays;
    std::span<const RayStep> steps;  // the rays as offsets in the planes
    int reach;                       // largest |dx| of the rays
    int rowsUp;                      // largest -dy
    int rowsDown;                    // largest dy
};

// Where a vector twin's block of walks lies: lane 0's pixel in the offset
// chroma plane and in the luma plane, its column and row, and the image's
// size.
struct ChromaBlock {
    const uint16_t* chroma;
    const uint16_t* luma;
    int x;
    int y;
    int width;
    int height;
};

// The walk results (signed chroma) of both passes over the row's columns,
// into results[pass][x]; where no neighbour can move a walk's chroma or be
// refused, the centre's own chroma without walking. The AVX2 twin walks 16
// pixels at once, both passes side by side.
using ChromaWalkRowFn = void (*)(const ChromaRow& row, const ColorNRParams& params, int* const results[2]);
void chromaWalkRow(const ChromaRow& row, const ColorNRParams& params, int* const results[2]);
void chromaWalkRowAvx2(const ChromaRow& row, const ColorNRParams& params, int* const results[2]);

// Both chroma components' rows at once (rows[c] and results[c][pass][x]),
// 32 pixels at a time, all four walks side by side so that each entry's
// luminance is tested once: AVX-512 only.
using ChromaWalkPairFn = void (*)(const ChromaRow (&rows)[2], const ColorNRParams& params,
                                  int* const results[2][2]);
void chromaWalkRowPairAvx512(const ChromaRow (&rows)[2], const ColorNRParams& params, int* const results[2][2]);

}  // namespace qv
