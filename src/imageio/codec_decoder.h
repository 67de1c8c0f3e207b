#pragma once

#include "imageio/source_pair.h"

namespace qv {

// The common formats through the image codec service; every picture arrives
// as 8 bits per channel (bit depth 24).
DecodeResult decodeWithCodec(const DecodeJob& job, SourcePair& pair);

}  // namespace qv
