#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "imageio/source_pair.h"
#include "text/string_table.h"

namespace qv {

struct ImageIoContext;

inline constexpr const char* kMergeMismatchText = text::k138;
inline constexpr const char* kMergeStatusText = text::k144;

// One decoded picture: the 8-bit and 16-bit bitmaps of one size and the bit
// depth of the file it came from (24 or 48).
struct Exposure : SourcePair {
    int bitDepth = 0;
};

// Same width, height and bit depth: exposures that can be merged.
bool sameFormat(const Exposure& a, const Exposure& b);

// The brightness by which exposures are ordered: blue + green + red summed
// over the pixels of rows and columns 0, 8, 16, ... of the 8-bit image (in
// 64 bits, which no image overflows). False when the image cannot be locked.
bool sampledBrightness(Bitmap& image8, uint64_t& sum);

// Merges differently exposed shots of one still scene (at least two, all of
// the same size and bit depth) into one picture stretched to the full 16-bit
// range: orders them dark to bright, relates each one's levels to its darker
// neighbour's, blends luminance and colour and normalises. Publishes the
// percentage over the last share of a load split among N files and the
// merge. The blending is spread over the context's worker count; the result
// depends neither on it nor on the vectorised loops being on. The exposures
// are released whatever the outcome. On failure the context's error text
// says why when there is something to say (an abort, a failed lock: nothing).
bool mergeDecodedExposures(std::vector<Exposure> exposures, ImageIoContext& ctx, const std::atomic<bool>& abort,
                           Exposure& merged);

}  // namespace qv
