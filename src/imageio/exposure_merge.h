#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/exposure_blend.h"
#include "imaging/bitmap.h"

namespace qv {

inline constexpr const char* kMergeMismatchText = "Obrazy nie mają tych samych rozmiarów i głębi koloru";
inline constexpr const char* kMergeStatusText = "Tworzenie HDR";

// One decoded picture: the 16-bit image, its 8-bit twin of the same size and
// the bit depth of the file it came from (24 or 48).
struct Exposure {
    std::unique_ptr<Bitmap> image8;
    std::unique_ptr<Bitmap> image16;
    int bitDepth = 0;
};

// Same width, height and bit depth: exposures that can be merged.
bool sameFormat(const Exposure& a, const Exposure& b);

// The brightness by which exposures are ordered: blue + green + red summed
// over the pixels of rows and columns 0, 8, 16, ... of the 8-bit image (in
// 64 bits, which no image overflows). False when the image cannot be locked.
bool sampledBrightness(Bitmap& image8, uint64_t& sum);

// Where a merge publishes its progress and texts, and the flag that stops it.
struct MergeReporting {
    std::atomic<int>& percent;
    std::string& statusText;
    std::string& errorText;
    const std::atomic<bool>& abort;
};

// Merges differently exposed shots of one still scene (at least two, all of
// the same size and bit depth) into one picture stretched to the full 16-bit
// range: orders them dark to bright, relates each one's levels to its darker
// neighbour's, blends luminance and colour and normalises. The percentage
// runs over the last share of a load split among N files plus the merge.
// The blending is spread over `workers` threads; the result depends neither
// on their number nor on the instruction set `path`. The exposures are
// released whatever the outcome. On failure the error text says why when
// there is something to say (an abort, a failed lock: nothing).
bool mergeDecodedExposures(std::vector<Exposure> exposures, const MergeReporting& reporting, int workers,
                           Exposure& merged, SimdPath path = bestSimdPath());

}  // namespace qv
