#include "imageio/tiff16_decoder.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "codec/libtiff_quiet.h"
#include "imageio/tiff_file.h"
#include "text/failure_text.h"

namespace qv {

namespace {

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
    int samplesPerChunkPixel() const { return separatePlanes ? 1 : samplesPerPixel; }
    int64_t samplesPerScanline() const { return int64_t(width) * samplesPerChunkPixel(); }
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

// Stores `count` pixels of scanline y from column x0 on where the
// orientation puts them: a plane fills one channel, a grey line all three, an
// interleaved line (red, green, blue) the three in reverse order.
void storeSegment(SourcePair& pair, const Layout& layout, int y, int x0, int count, int plane,
                  const uint16_t* samples)
{
    PixelRun run = layout.runOf(y);
    run.x += x0 * run.dx;
    run.y += x0 * run.dy;
    run.length = count;
    if (layout.separatePlanes) {
        storeChannel(pair, run, 2 - plane, samples, 1);  // planes come red, green, blue
    } else if (layout.samplesPerPixel == 1) {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, run, channel, samples, 1);
    } else {
        for (int channel = 0; channel < 3; ++channel)
            storeChannel(pair, run, channel, samples + (2 - channel), 3);
    }
}

std::unique_ptr<uint16_t[]> sampleBuffer(int64_t samples)
{
    return std::unique_ptr<uint16_t[]>(new (std::nothrow) uint16_t[samples]);
}

// Scanline by scanline into a buffer of exactly one row's samples; a file
// whose rows the library sizes otherwise (odd encodings) is refused rather
// than read past either end. Each plane is read top to bottom before the
// next: libtiff decodes a compressed strip of several rows forward only and
// refuses to go back into it, so the rows of the three planes cannot be read
// alternately.
DecodeResult readStrips(const DecodeJob& job, TIFF* tiff, const Layout& layout, SourcePair& pair)
{
    const int64_t lineSamples = layout.samplesPerScanline();
    if (TIFFScanlineSize64(tiff) != uint64_t(lineSamples) * 2)
        return job.fail(pair, kDamagedReason);
    const std::unique_ptr<uint16_t[]> line = sampleBuffer(lineSamples);
    if (!line)
        return job.fail(pair, failureReason(ENOMEM));

    const int height = static_cast<int>(layout.height);
    const uint64_t totalRows = uint64_t(layout.planes()) * height;
    uint64_t rowsDone = 0;
    for (int plane = 0; plane < layout.planes(); ++plane) {
        for (int y = 0; y < height; ++y, ++rowsDone) {
            job.publishPercent(job.range.at(rowsDone, totalRows));
            if (TIFFReadScanline(tiff, line.get(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane)) < 0)
                return job.fail(pair, kDamagedReason);
            storeSegment(pair, layout, y, 0, static_cast<int>(layout.width), plane, line.get());
            if (job.aborted())
                return job.fail(pair);
        }
    }
    return DecodeResult::decoded();
}

// Tiles wider or longer than this, or of more samples, are taken for
// damage, not read.
constexpr uint32_t kMaxTileSide = 1 << 16;
constexpr int64_t kMaxTileSamples = int64_t(1) << 26;

// Tile by tile, plane by plane; the rows of each tile that lie inside the
// picture are stored as pieces of the file's rows.
DecodeResult readTiles(const DecodeJob& job, TIFF* tiff, const Layout& layout, SourcePair& pair)
{
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength);
    if (tileWidth == 0 || tileLength == 0 || tileWidth > kMaxTileSide || tileLength > kMaxTileSide)
        return job.fail(pair, kDamagedReason);
    const int64_t rowSamples = int64_t(tileWidth) * layout.samplesPerChunkPixel();
    const int64_t tileSamples = rowSamples * tileLength;
    if (tileSamples > kMaxTileSamples || TIFFTileSize64(tiff) != uint64_t(tileSamples) * 2)
        return job.fail(pair, kDamagedReason);
    const std::unique_ptr<uint16_t[]> tile = sampleBuffer(tileSamples);
    if (!tile)
        return job.fail(pair, failureReason(ENOMEM));

    const uint64_t across = (uint64_t(layout.width) + tileWidth - 1) / tileWidth;
    const uint64_t down = (uint64_t(layout.height) + tileLength - 1) / tileLength;
    const uint64_t totalTiles = uint64_t(layout.planes()) * across * down;
    uint64_t tilesDone = 0;
    for (int plane = 0; plane < layout.planes(); ++plane) {
        for (uint64_t y0 = 0; y0 < layout.height; y0 += tileLength) {
            for (uint64_t x0 = 0; x0 < layout.width; x0 += tileWidth, ++tilesDone) {
                job.publishPercent(job.range.at(tilesDone, totalTiles));
                if (TIFFReadTile(tiff, tile.get(), static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), 0,
                                 static_cast<uint16_t>(plane)) < 0)
                    return job.fail(pair, kDamagedReason);
                const int columns = static_cast<int>(std::min<uint64_t>(tileWidth, layout.width - x0));
                const int rows = static_cast<int>(std::min<uint64_t>(tileLength, layout.height - y0));
                for (int r = 0; r < rows; ++r)
                    storeSegment(pair, layout, static_cast<int>(y0) + r, static_cast<int>(x0), columns, plane,
                                 tile.get() + r * rowSamples);
                if (job.aborted())
                    return job.fail(pair);
            }
        }
    }
    return DecodeResult::decoded();
}

}  // namespace

DecodeResult decodeTiff16(const DecodeJob& job, SourcePair& pair)
{
    TiffFile tiff = openTiffQuietly(job.path);
    if (!tiff || !TIFFSetDirectory(tiff.get(), 0))
        return DecodeResult::notThisFormat();
    // Whatever its samples, a TIFF too large to take or whose data cannot be
    // in the file is refused here, before this or another decoder allocates
    // its picture.
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    if (uint64_t(width) * height > uint64_t(kMaxSourcePixels))
        return job.fail(pair, tooLargeReason(width, height));
    if (!directoryHoldsItsPicture(tiff.get()))
        return job.fail(pair, kDamagedReason);
    Layout layout;
    if (!readLayout(tiff.get(), layout))
        return DecodeResult::notThisFormat();

    if (std::optional<DecodeResult> allocationFailure =
            job.allocate(pair, layout.uprightWidth(), layout.uprightHeight()))
        return *allocationFailure;
    DecodeResult result = TIFFIsTiled(tiff.get()) ? readTiles(job, tiff.get(), layout, pair)
                                                  : readStrips(job, tiff.get(), layout, pair);
    return result.status == DecodeStatus::Decoded ? job.finish(pair, 48) : result;
}

std::string unreadableTiffSamples(const std::string& path)
{
    TiffFile tiff = openTiffQuietly(path);
    if (!tiff)
        return {};
    uint16_t bitsPerSample = 0, sampleFormat = 0;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    const bool integer = sampleFormat == SAMPLEFORMAT_UINT;
    const bool floating = sampleFormat == SAMPLEFORMAT_IEEEFP;
    if ((integer && (bitsPerSample <= 8 || bitsPerSample == 16)) ||
        (floating && (bitsPerSample == 16 || bitsPerSample == 32)))
        return {};
    const char* kind = integer                            ? "liczby całkowite bez znaku"
                       : floating                         ? "liczby zmiennoprzecinkowe"
                       : sampleFormat == SAMPLEFORMAT_INT ? "liczby całkowite ze znakiem"
                                                          : "liczby zespolone lub nieokreślone";
    // "32-bitowe" agrees with every number, where "32 bitów" would not.
    return "nieobsługiwany format próbek: " + std::to_string(bitsPerSample) + "-bitowe " + kind;
}

}  // namespace qv
