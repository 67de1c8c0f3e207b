#include "codec/bmp_extent.h"

#include <algorithm>

namespace qv::codec {

namespace {

// Little-endian fields of the file and info headers.
uint32_t u16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }
int64_t s16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
int64_t s32(const uint8_t* p) { return static_cast<int32_t>(u32(p)); }

constexpr std::size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreHeaderBytes = 12;  // the old OS/2 header: 16-bit sizes, no compression
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

}  // namespace

bool bmpRowsCutShort(const uint8_t* header, std::size_t headerSize, uint64_t fileSize)
{
    if (headerSize < kBmpHeaderBytes || header[0] != 'B' || header[1] != 'M')
        return false;
    const uint32_t pixelOffset = u32(header + 10);
    const uint32_t infoSize = u32(header + 14);
    int64_t width = 0, height = 0;
    uint32_t bitsPerPixel = 0, compression = kUncompressed;
    if (infoSize == kCoreHeaderBytes) {
        width = s16(header + 18);
        height = s16(header + 20);
        bitsPerPixel = u16(header + 24);
    } else if (infoSize >= kInfoHeaderBytes) {
        width = s32(header + 18);
        height = s32(header + 22);
        bitsPerPixel = u16(header + 28);
        compression = u32(header + 30);
    } else {
        return false;
    }
    if ((compression != kUncompressed && compression != kBitFields) || width <= 0 || bitsPerPixel == 0)
        return false;

    // The rows start at the declared offset, but never inside the headers;
    // each row is padded to whole 32-bit words.
    const uint64_t rowsStart = std::max<uint64_t>(pixelOffset, kFileHeaderBytes + std::min(infoSize, kInfoHeaderBytes));
    const uint64_t rowBytes = (static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    // rowBytes × rows > the bytes after rowsStart, without overflowing.
    return fileSize < rowsStart || rows > (fileSize - rowsStart) / rowBytes;
}

}  // namespace qv::codec
