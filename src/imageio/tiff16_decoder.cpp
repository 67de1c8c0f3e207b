#include "imageio/tiff16_decoder.h"

#include <tiffio.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "codec/libtiff_quiet.h"

namespace qv {

namespace {

// Bounds what libtiff may allocate for one strip of a file whose tags claim
// absurd sizes.
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t(1) << 30;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Opens the file without a word on the terminal about damage (the decoder's
// answer says enough) and with the allocation bound above.
TiffFile openQuietly(const std::string& path)
{
    silenceLibtiff();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAllocation);
    TiffFile tiff(TIFFOpenExt(path.c_str(), "r", options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// The layouts this reader takes: 16-bit grey or RGB, RGB either interleaved
// or as three planes, with the size the file declares and the way its rows
// are to be turned.
struct Layout {
    uint32_t width = 0;
    uint32_t height = 0;
    int samplesPerPixel = 0;  // 1 or 3
    bool separatePlanes = false;
    int orientation = ORIENTATION_TOPLEFT;

    int planes() const { return separatePlanes ? 3 : 1; }
    int64_t samplesPerScanline() const { return int64_t(width) * (separatePlanes ? 1 : samplesPerPixel); }
    // Orientations 5 to 8 store the picture's columns as the file's rows.
    bool transposed() const { return orientation >= ORIENTATION_LEFTTOP; }
    int64_t uprightWidth() const { return transposed() ? height : width; }
    int64_t uprightHeight() const { return transposed() ? width : height; }

    // Where scanline y lands in the upright picture (the Orientation tag
    // names the side and end the file's first row and column are shown at).
    PixelRun runOf(int y) const
    {
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        switch (orientation) {
        case ORIENTATION_TOPRIGHT: return {w - 1, y, -1, 0, w};
        case ORIENTATION_BOTRIGHT: return {w - 1, h - 1 - y, -1, 0, w};
        case ORIENTATION_BOTLEFT: return {0, h - 1 - y, 1, 0, w};
        case ORIENTATION_LEFTTOP: return {y, 0, 0, 1, w};
        case ORIENTATION_RIGHTTOP: return {h - 1 - y, 0, 0, 1, w};
        case ORIENTATION_RIGHTBOT: return {h - 1 - y, w - 1, 0, -1, w};
        case ORIENTATION_LEFTBOT: return {y, w - 1, 0, -1, w};
        default: return {0, y, 1, 0, w};
        }
    }
};

// Reads the tags that decide whether the file is ours. Samples per pixel,
// planar configuration and sample format take the TIFF default (1,
// interleaved, unsigned) when the file leaves them out, as many grey TIFFs
// do. An orientation outside 1..8 counts as upright.
bool readLayout(TIFF* tiff, Layout& layout)
{
    uint16_t photometric = 0, bitsPerSample = 0, samplesPerPixel = 0, planarConfig = 0, sampleFormat = 0;
    uint16_t orientation = 0;
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planarConfig);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);

    if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_RGB)
        return false;
    // Signed or floating-point samples read as unsigned integers would make
    // a wrong picture: such files are left to the other decoders.
    if (bitsPerSample != 16 || sampleFormat != SAMPLEFORMAT_UINT)
        return false;
    const bool interleaved = planarConfig == PLANARCONFIG_CONTIG && (samplesPerPixel == 1 || samplesPerPixel == 3);
    const bool planes = planarConfig == PLANARCONFIG_SEPARATE && samplesPerPixel == 3;
    if (!interleaved && !planes)
        return false;
    if (width < uint32_t(kMinImageSide) || height < uint32_t(kMinImageSide))
        return false;
    const bool known = orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT;
    layout = {width, height, samplesPerPixel, planes, known ? orientation : ORIENTATION_TOPLEFT};
    return true;
}

// Stores scanline y where the orientation puts it: a plane fills one
// channel, a grey line all three, an interleaved line (red, green, blue) the
// three in reverse order.
void storeScanline(SourcePair& pair, const Layout& layout, int y, int plane, const uint16_t* line)
{
    const PixelRun run = layout.runOf(y);
    if (layout.separatePlanes) {
        storeChannel(pair, run, 2 - plane, line, 1);  // planes come red, green, blue
    } else if (layout.samplesPerPixel == 1) {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, run, channel, line, 1);
    } else {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, run, channel, line + (2 - channel), 3);
    }
}

}  // namespace

DecodeResult decodeTiff16(const DecodeJob& job, SourcePair& pair)
{
    TiffFile tiff = openQuietly(job.path);
    if (!tiff || !TIFFSetDirectory(tiff.get(), 0))
        return kNotThisFormat;
    Layout layout;
    if (!readLayout(tiff.get(), layout))
        return kNotThisFormat;

    if (!job.allocate(pair, layout.uprightWidth(), layout.uprightHeight()))
        return kDecodeFailed;

    // Scanlines are read into a buffer of exactly one row's samples; a file
    // whose rows the library sizes otherwise (tiles, odd encodings) is refused
    // rather than read past either end.
    const int64_t lineSamples = layout.samplesPerScanline();
    if (TIFFIsTiled(tiff.get()) || TIFFScanlineSize64(tiff.get()) != uint64_t(lineSamples) * 2)
        return job.fail(pair, kLoadErrorText);
    std::unique_ptr<uint16_t[]> line(new (std::nothrow) uint16_t[lineSamples]);
    if (!line)
        return job.fail(pair, std::strerror(ENOMEM));

    // Each plane is read top to bottom before the next: libtiff decodes a
    // compressed strip of several rows forward only and refuses to go back
    // into it, so the rows of the three planes cannot be read alternately.
    const int height = static_cast<int>(layout.height);
    const uint64_t totalRows = uint64_t(layout.planes()) * height;
    uint64_t rowsDone = 0;
    for (int plane = 0; plane < layout.planes(); ++plane) {
        for (int y = 0; y < height; ++y, ++rowsDone) {
            job.publishPercent(job.range.at(rowsDone, totalRows));
            if (TIFFReadScanline(tiff.get(), line.get(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane)) < 0)
                return job.fail(pair, kLoadErrorText);
            storeScanline(pair, layout, y, plane, line.get());
            if (job.aborted())
                return job.fail(pair);
        }
    }
    return job.finish(pair, 48);
}

}  // namespace qv
