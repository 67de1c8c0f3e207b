#include "imageio/tiff16_writer.h"

#include <cerrno>
#include <memory>

#include <tiffio.h>

#include "codec/libtiff_quiet.h"

namespace qv {

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The tags of the file, in this order; nothing else is written but the
// strip offsets and byte counts the library adds.
bool setTags(TIFF* tiff, int width, int height)
{
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width)) &&
           TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height)) &&
           TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16) &&
           TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1) &&
           TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE) &&
           TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
}

}  // namespace

Tiff16WriteResult writeTiff16(const std::string& path, const uint16_t* rgb, int width, int height,
                              const std::atomic<bool>& abort, std::atomic<int>& percent)
{
    silenceLibtiff();
    // errno is taken right where a call fails, before closing the file can
    // change it; cleared first so that a failure without one reports none.
    errno = 0;
    const auto failed = [](Tiff16WriteStatus status) { return Tiff16WriteResult{status, errno}; };
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff)
        return failed(Tiff16WriteStatus::CannotCreate);
    if (!setTags(tiff.get(), width, height))
        return failed(Tiff16WriteStatus::WriteError);

    const std::size_t rowValues = static_cast<std::size_t>(width) * 3;
    for (int r = 0; r < height; ++r) {
        // Uncompressed rows in the host's byte order are written as they
        // are; the library does not modify the buffer it is given.
        auto* row = const_cast<uint16_t*>(rgb + r * rowValues);
        if (TIFFWriteScanline(tiff.get(), row, static_cast<uint32_t>(r), 0) < 0)
            return failed(Tiff16WriteStatus::WriteError);
        percent.store(static_cast<int>(static_cast<long long>(r) * 100 / height), std::memory_order_relaxed);
        if (abort.load(std::memory_order_relaxed))
            return {Tiff16WriteStatus::Aborted};
    }
    // The last strip and the directory are written here; a failure must not
    // pass for a finished file.
    if (!TIFFFlush(tiff.get()))
        return failed(Tiff16WriteStatus::WriteError);
    return {Tiff16WriteStatus::Written};
}

}  // namespace qv
