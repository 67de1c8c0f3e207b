#include "imageio/tiff16_decoder.h"

#include <tiffio.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace qv {

namespace {

// libtiff's messages for damaged files would go to the terminal; the
// decoder's answer says enough.
int ignoreMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Bounds what libtiff may allocate for one strip of a file whose tags claim
// absurd sizes.
constexpr tmsize_t kMaxLibraryAllocation = tmsize_t(1) << 30;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

TiffFile openQuietly(const std::string& path)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, ignoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreMessage, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAllocation);
    TiffFile tiff(TIFFOpenExt(path.c_str(), "r", options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// The layouts this reader takes: 16-bit grey or RGB, RGB either interleaved
// or as three planes.
struct Layout {
    int width = 0;
    int height = 0;
    int samplesPerPixel = 0;  // 1 or 3
    bool separatePlanes = false;

    int planes() const { return separatePlanes ? 3 : 1; }
    int samplesPerScanline() const { return separatePlanes ? width : width * samplesPerPixel; }
};

// Reads the tags that decide whether the file is ours. Samples per pixel and
// planar configuration take the TIFF default (1, interleaved) when the file
// leaves them out, as many grey TIFFs do.
bool readLayout(TIFF* tiff, Layout& layout)
{
    uint16_t photometric = 0, bitsPerSample = 0, samplesPerPixel = 0, planarConfig = 0;
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planarConfig);
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);

    if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_RGB)
        return false;
    if (bitsPerSample != 16)
        return false;
    const bool interleaved = planarConfig == PLANARCONFIG_CONTIG && (samplesPerPixel == 1 || samplesPerPixel == 3);
    const bool planes = planarConfig == PLANARCONFIG_SEPARATE && samplesPerPixel == 3;
    if (!interleaved && !planes)
        return false;
    if (width < kMinImageSide || height < kMinImageSide || width > INT32_MAX || height > INT32_MAX)
        return false;
    layout = {static_cast<int>(width), static_cast<int>(height), samplesPerPixel, planes};
    return true;
}

// Where the samples of one scanline go: for each bitmap channel (blue,
// green, red) the offset of its first sample in the scanline.
void storeScanline(SourcePair& pair, const Layout& layout, int y, int plane, const uint16_t* line)
{
    if (layout.separatePlanes) {
        storeChannel(pair, y, 2 - plane, line, 1);  // planes come red, green, blue
    } else if (layout.samplesPerPixel == 1) {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, y, channel, line, 1);
    } else {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, y, channel, line + (2 - channel), 3);
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

    // Scanlines are read into a buffer of exactly one row's samples; a file
    // whose rows the library sizes otherwise (tiles, odd encodings) is refused
    // rather than read past either end.
    const tmsize_t lineBytes = TIFFScanlineSize(tiff.get());
    if (TIFFIsTiled(tiff.get()) || lineBytes != tmsize_t(layout.samplesPerScanline()) * 2) {
        job.setError(kLoadErrorText);
        return kDecodeFailed;
    }
    std::unique_ptr<uint16_t[]> line(new (std::nothrow) uint16_t[layout.samplesPerScanline()]);
    if (!line) {
        job.setError(std::strerror(ENOMEM));
        return kDecodeFailed;
    }
    if (!job.allocate(pair, layout.width, layout.height))
        return kDecodeFailed;

    // Each plane is read top to bottom before the next: libtiff decodes
    // compressed strips forward only, so alternating planes row by row would
    // make it restart a strip for every row.
    const uint64_t totalRows = uint64_t(layout.planes()) * layout.height;
    uint64_t rowsDone = 0;
    for (int plane = 0; plane < layout.planes(); ++plane) {
        for (int y = 0; y < layout.height; ++y, ++rowsDone) {
            job.publishPercent(job.range.at(rowsDone, totalRows));
            if (TIFFReadScanline(tiff.get(), line.get(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane)) < 0) {
                pair.release();
                job.setError(kLoadErrorText);
                return kDecodeFailed;
            }
            storeScanline(pair, layout, y, plane, line.get());
            if (job.aborted()) {
                pair.release();
                return kDecodeFailed;
            }
        }
    }
    return job.finish(pair, 48);
}

}  // namespace qv
