#pragma once

#include "imageio/source_pair.h"

namespace qv {

// A 16-bit TIFF reader (grey, or RGB interleaved or in separate planes) on
// libtiff. Anything else, 8-bit TIFF included, is not its format.
DecodeResult decodeTiff16(const DecodeJob& job, SourcePair& pair);

}  // namespace qv
