#pragma once

#include <memory>
#include <string>

#include "imaging/bitmap.h"

// The image codec service: decoding of the common file formats (JPEG, PNG,
// BMP, 8-bit TIFF, ...) here, encoding of JPEG and 8-bit TIFF in
// codec_encode.h. These are the only places that talk to the toolkit's image
// I/O; callers see plain types only.
namespace qv::codec {

// How a decode or encode ended. Unrecognised input is told apart from system
// errors, from running out of memory and from any other failure.
enum class Status {
    Ok,
    UnknownFormat,  // no decoder knows the file ("invalid parameter")
    SystemError,    // the file could not be opened or written; see message
    OutOfMemory,    // the picture's buffers cannot be had; see message
    TooLarge,       // the file declares more than kMaxDecodedPixels; see declared size
    Damaged,        // the decoder made a picture, but part of the file's data was missing or corrupt
    Failed,         // anything else (data the decoder refused, encoder refusal)
};

struct Answer {
    Status status = Status::Failed;
    std::string message;  // the system's text for SystemError and OutOfMemory
    long long declaredWidth = 0;   // the size a TooLarge file declares
    long long declaredHeight = 0;

    bool ok() const { return status == Status::Ok; }
};

// Largest picture the service decodes, in pixels; a file that declares more
// is answered with TooLarge before anything is allocated.
inline constexpr long long kMaxDecodedPixels = 1LL << 28;
// Most pixels one byte of a file can stand for. Even the best compression of
// the common formats stays far below (deflate of a one-bit palette picture
// about 8000, a JPEG one bit per 8 x 8 block); a file that declares more for
// its size is damaged, and is refused before its picture is allocated.
inline constexpr long long kMaxPixelsPerFileByte = 1LL << 14;

// A decoded picture in whatever format the file held, already turned upright
// as its EXIF orientation asks.
class DecodedImage {
public:
    DecodedImage();
    ~DecodedImage();
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    // Decodes the file at path, replacing any picture held before. A picture
    // that could only be completed by making up what the file lacks (a cut
    // JPEG or BMP), or that is far larger than the file could hold, is not
    // kept: Damaged.
    Answer load(const std::string& path);

    bool empty() const;
    int width() const;
    int height() const;

    // Draws the picture into a 24-bit bitmap of the same size: every decoded
    // format (palette, grey, 16 bits per channel) becomes 8-bit blue, green,
    // red; transparent parts are laid over black. False when the sizes differ
    // or the bitmap is not 24-bit.
    bool drawInto(Bitmap& target24) const;

    // Releases the decoded picture.
    void release();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qv::codec
