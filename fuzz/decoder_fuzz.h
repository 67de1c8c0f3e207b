// The common body of the decoder fuzz targets: the bytes become a file (in
// memory, reached through /proc), the decoder runs on it, and its answer must
// keep the decoder contract whatever the bytes were.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "imageio/image_io_context.h"
#include "imageio/source_pair.h"

namespace qv::fuzz {

class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("fuzz-input", 0)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
    const std::string& path() const { return path_; }
    void write(const uint8_t* data, size_t size)
    {
        if (::ftruncate(fd_, 0) != 0 || (size && ::pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size)))
            std::abort();
    }

private:
    int fd_;
    std::string path_;
};

// Both bitmaps of one size, at least 16 x 16, showing one picture (checked
// on up to 64 rows spread over the height, so that large pictures stay quick).
inline bool pairHolds(const SourcePair& pair, int bitDepth)
{
    if (!pair.image8 || !pair.image16)
        return false;
    const Bitmap& b8 = *pair.image8;
    const Bitmap& b16 = *pair.image16;
    if (b8.width() != b16.width() || b8.height() != b16.height() || b8.width() < kMinImageSide ||
        b8.height() < kMinImageSide)
        return false;
    const int step = b8.height() / 64 + 1;
    for (int y = 0; y < b8.height(); y += step)
        for (int i = 0; i < b8.width() * 3; ++i) {
            const uint16_t wide = b16.row16(y)[i];
            const uint8_t narrow = b8.row(y)[i];
            if (bitDepth == 48 ? narrow != wide >> 8 : wide != uint16_t(narrow << 8))
                return false;
        }
    return true;
}

template <class Decoder>
int checkDecoder(Decoder decoder, const uint8_t* data, size_t size)
{
    static MemoryFile file;
    file.write(data, size);
    ImageIoContext ctx;
    std::atomic<bool> abort{false};
    SourcePair pair;
    const DecodeResult result = decoder(DecodeJob{file.path(), ctx, abort, {}}, pair);
    const bool empty = !pair.image8 && !pair.image16;
    switch (result.status) {
    case DecodeStatus::Decoded:
        if (!pairHolds(pair, ctx.bitDepth) || ctx.decodedWidth != pair.image8->width() ||
            ctx.decodedHeight != pair.image8->height())
            std::abort();
        break;
    case DecodeStatus::NotThisFormat:
        if (!empty || !result.reason.empty())
            std::abort();
        break;
    case DecodeStatus::Failed:
        if (!empty)
            std::abort();
        break;
    default:
        std::abort();
    }
    return 0;
}

}  // namespace qv::fuzz
