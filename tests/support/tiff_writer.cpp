#include "support/tiff_writer.h"

#include <tiffio.h>

#include <fstream>
#include <memory>
#include <vector>

namespace qv::test {

namespace {

struct Closer {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

void setCommonTags(TIFF* tiff, const TiffLayout& layout)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(layout.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(layout.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(layout.bitsPerSample));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(layout.samples));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(layout.samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG,
                 uint16_t(layout.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(layout.compression));
    if (layout.orientation > 0)
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(layout.orientation));
    if (layout.sampleFormat > 0)
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, uint16_t(layout.sampleFormat));
}

// The samples of one row (or tile row) of one plane, starting at column x0.
void fillSamples(std::vector<uint8_t>& buffer, const TiffLayout& layout, int x0, int count, int y, int plane,
                 const SampleAt& sample)
{
    const int perPixel = layout.separatePlanes ? 1 : layout.samples;
    const int bytes = layout.bitsPerSample / 8;
    buffer.assign(std::size_t(count) * perPixel * bytes, 0);
    for (int i = 0; i < count; ++i) {
        for (int s = 0; s < perPixel; ++s) {
            const int x = x0 + i;
            const uint16_t v = (x < layout.width && y < layout.height)
                                   ? sample(x, y, layout.separatePlanes ? plane : s)
                                   : 0;
            const std::size_t at = (std::size_t(i) * perPixel + s) * bytes;
            if (bytes == 2)
                reinterpret_cast<uint16_t*>(buffer.data())[at / 2] = v;
            else
                buffer[at] = static_cast<uint8_t>(v);
        }
    }
}

}  // namespace

bool writeTiff(const std::string& path, const TiffLayout& layout, const SampleAt& sample)
{
    std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        return false;
    setCommonTags(tiff.get(), layout);
    const int planes = layout.separatePlanes ? layout.samples : 1;
    std::vector<uint8_t> buffer;
    if (layout.tileSide > 0) {
        const int side = layout.tileSide;
        TIFFSetField(tiff.get(), TIFFTAG_TILEWIDTH, uint32_t(side));
        TIFFSetField(tiff.get(), TIFFTAG_TILELENGTH, uint32_t(side));
        std::vector<uint8_t> tile, row;
        for (int plane = 0; plane < planes; ++plane)
            for (int ty = 0; ty < layout.height; ty += side)
                for (int tx = 0; tx < layout.width; tx += side) {
                    tile.clear();
                    for (int y = ty; y < ty + side; ++y) {
                        fillSamples(row, layout, tx, side, y, plane, sample);
                        tile.insert(tile.end(), row.begin(), row.end());
                    }
                    if (TIFFWriteTile(tiff.get(), tile.data(), uint32_t(tx), uint32_t(ty), 0, uint16_t(plane)) < 0)
                        return false;
                }
        return true;
    }
    TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, uint32_t(layout.rowsPerStrip));
    for (int plane = 0; plane < planes; ++plane)
        for (int y = 0; y < layout.height; ++y) {
            fillSamples(buffer, layout, 0, layout.width, y, plane, sample);
            if (TIFFWriteScanline(tiff.get(), buffer.data(), uint32_t(y), uint16_t(plane)) < 0)
                return false;
        }
    return true;
}

bool writeTiffHeaderOnly(const std::string& path, uint32_t width, uint32_t height)
{
    // Little-endian header, one directory of ten entries, pixel data said to
    // start at the end of the file and to run for 4 GB.
    const uint32_t dataOffset = 8 + 2 + 10 * 12 + 4;
    const struct {
        uint16_t tag, type;
        uint32_t value;
    } entries[] = {
        {256, 4, width}, {257, 4, height}, {258, 3, 16}, {259, 3, 1}, {262, 3, 2},
        {273, 4, dataOffset}, {277, 3, 3}, {278, 4, height}, {279, 4, 0xFFFFFFFFu}, {284, 3, 1},
    };
    std::string bytes = "II*";
    bytes.push_back('\0');
    auto put = [&bytes](uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(8, 4);
    put(10, 2);
    for (const auto& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(1, 4);
        put(e.value, 4);  // a short value sits in the low half, little-endian
    }
    put(0, 4);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace qv::test
