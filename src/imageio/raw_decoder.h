#pragma once

#include "imageio/source_pair.h"

namespace qv {

// Camera RAW files through LibRaw, rendered to 16-bit sRGB with the user's
// RAW options from the context's configuration. Files are told by content.
DecodeResult decodeRaw(const DecodeJob& job, SourcePair& pair);

}  // namespace qv
