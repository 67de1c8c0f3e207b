#pragma once

#include <string>

#include "imageio/source_pair.h"

namespace qv {

// A 16-bit TIFF reader (grey, or RGB interleaved or in separate planes) on
// libtiff. Anything else, 8-bit TIFF included, is not its format.
// Striped and tiled files are read alike. A TIFF of any kind whose strips or
// tiles cannot hold the picture it declares is refused as damaged.
DecodeResult decodeTiff16(const DecodeJob& job, SourcePair& pair);

// What no decoder of the program reads about the samples of the TIFF at
// `path` ("nieobsługiwany format próbek: 32-bitowe liczby ..."); empty
// when its samples are readable or it is no TIFF.
std::string unreadableTiffSamples(const std::string& path);

}  // namespace qv
