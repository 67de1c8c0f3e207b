#include "imageio/tiff_file.h"

#include <sys/stat.h>

#include <optional>
#include <vector>

#include "codec/libtiff_quiet.h"

namespace qv {

namespace {

constexpr tmsize_t kMaxLibraryAllocation = tmsize_t(1) << 30;
// Most uncompressed bytes one compressed byte can stand for in a TIFF
// (deflate reaches about 1000, LZW about 2700).
constexpr double kMaxCompressionRatio = 4096;
// Directories visited at most, against loops of SubIFD offsets.
constexpr int kMaxDirectories = 64;

uint32_t chunkCount(TIFF* tiff) { return TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff); }

// The stored bytes of the directory's strips or tiles; nothing when one of
// them lies outside the file.
std::optional<double> storedBytes(TIFF* tiff, uint64_t fileSize)
{
    const uint32_t count = chunkCount(tiff);
    // More chunks than the file has room for offsets: the count itself is bogus.
    if (count / 4 > fileSize)
        return std::nullopt;
    double total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tiff, i);
        const uint64_t bytes = TIFFGetStrileByteCount(tiff, i);
        if (offset > fileSize || bytes > fileSize - offset)
            return std::nullopt;
        total += static_cast<double>(bytes);
    }
    return total;
}

uint64_t fileSizeOf(TIFF* tiff)
{
    struct stat info {};
    return ::fstat(TIFFFileno(tiff), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

}  // namespace

TiffFile openTiffQuietly(const std::string& path)
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

bool directoryHoldsItsPicture(TIFF* tiff)
{
    const std::optional<double> stored = storedBytes(tiff, fileSizeOf(tiff));
    if (!stored)
        return false;
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 0, samplesPerPixel = 0, compression = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    const double declared = double(width) * height * samplesPerPixel * bitsPerSample / 8;
    return compression == COMPRESSION_NONE ? *stored >= declared : *stored * kMaxCompressionRatio >= declared;
}

bool tiffDataCutShort(const std::string& path)
{
    TiffFile tiff = openTiffQuietly(path);
    if (!tiff)
        return false;
    const uint64_t fileSize = fileSizeOf(tiff.get());
    // The main chain first, collecting the SubIFDs it names; then those.
    std::vector<uint64_t> subDirectories;
    int visited = 0;
    do {
        if (!storedBytes(tiff.get(), fileSize))
            return true;
        uint16_t count = 0;
        uint64_t* offsets = nullptr;
        if (TIFFGetField(tiff.get(), TIFFTAG_SUBIFD, &count, &offsets) && offsets)
            subDirectories.insert(subDirectories.end(), offsets, offsets + count);
    } while (++visited < kMaxDirectories && TIFFReadDirectory(tiff.get()));
    for (const uint64_t offset : subDirectories) {
        if (++visited > kMaxDirectories)
            break;
        if (TIFFSetSubDirectory(tiff.get(), offset) && !storedBytes(tiff.get(), fileSize))
            return true;
    }
    return false;
}

}  // namespace qv
