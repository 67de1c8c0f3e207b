#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::codec {

// Bytes of a BMP file's start that bmpRowsCutShort looks at.
inline constexpr std::size_t kBmpHeaderBytes = 34;

// True when an uncompressed BMP (`header` holds the first bytes of the file,
// up to kBmpHeaderBytes) is shorter than its pixel rows need. The toolkit's
// BMP reader stops quietly at the end of such a file and hands out a picture
// whose missing rows hold whatever its memory held. Compressed (RLE) files
// and headers this does not understand are left to the reader: false.
bool bmpRowsCutShort(const uint8_t* header, std::size_t headerSize, uint64_t fileSize);

}  // namespace qv::codec
