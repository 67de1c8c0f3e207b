#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv::test {

// How a test TIFF is laid out on disk.
struct TiffLayout {
    int width = 0;
    int height = 0;
    int samples = 3;               // 1 (grey) or 3 (RGB)
    int bitsPerSample = 16;        // 16, or 8
    bool separatePlanes = false;   // RGB as three planes
    int compression = 1;           // TIFF compression code: 1 none, 5 LZW, 8 deflate
    int rowsPerStrip = 1;
    int tileSide = 0;              // > 0: tiled in square tiles of this side
    int orientation = 0;           // > 0: the Orientation tag (1 top left .. 8)
    int sampleFormat = 0;          // > 0: the SampleFormat tag (1 unsigned, 2 signed, 3 float)
};

// Sample value at (x, y) of channel c (0 red, 1 green, 2 blue; 0 for grey).
using SampleAt = std::function<uint16_t(int x, int y, int c)>;

// Writes a TIFF with libtiff; false on any library error.
bool writeTiff(const std::string& path, const TiffLayout& layout, const SampleAt& sample);

// Writes only the header and directory of a 16-bit RGB TIFF (one strip) that
// declares the given size but holds no pixel data.
bool writeTiffHeaderOnly(const std::string& path, uint32_t width, uint32_t height);

}  // namespace qv::test
