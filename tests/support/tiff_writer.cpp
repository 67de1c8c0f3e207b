#include "support/tiff_writer.h"

#include <tiffio.h>

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
    std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        return false;
    TiffLayout layout;
    setCommonTags(tiff.get(), layout);
    TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, height);
    return TIFFWriteDirectory(tiff.get()) != 0;
}

}  // namespace qv::test
