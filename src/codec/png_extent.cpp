#include "codec/png_extent.h"

#include <cstring>

namespace qv::codec {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Length and type before a chunk's data, its CRC after it.
constexpr uint64_t kChunkHeaderBytes = 8;
constexpr uint64_t kChunkCrcBytes = 4;

uint32_t bigEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

}  // namespace

bool pngCutShort(const ReadAt& readAt, uint64_t fileSize)
{
    uint8_t bytes[sizeof kSignature];
    if (fileSize < sizeof kSignature || !readAt(0, bytes, sizeof bytes) ||
        std::memcmp(bytes, kSignature, sizeof kSignature) != 0)
        return false;
    // Every chunk takes at least 12 bytes, so the walk ends.
    for (uint64_t at = sizeof kSignature;;) {
        uint8_t header[kChunkHeaderBytes];
        if (at + kChunkHeaderBytes > fileSize || !readAt(at, header, sizeof header))
            return true;
        const uint64_t end = at + kChunkHeaderBytes + bigEndian32(header) + kChunkCrcBytes;
        if (end > fileSize)
            return true;
        if (std::memcmp(header + 4, "IEND", 4) == 0)
            return false;
        at = end;
    }
}

}  // namespace qv::codec
