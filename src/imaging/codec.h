#pragma once

#include <memory>
#include <string>

#include "imaging/bitmap.h"

// The image codec service: decoding of the common file formats (JPEG, PNG,
// BMP, 8-bit TIFF, ...) and encoding of JPEG and 8-bit TIFF. This is the one
// place that talks to the toolkit's image I/O; callers see plain types only.
namespace qv::codec {

// How a decode or encode ended. Unrecognised input is told apart from system
// errors, from running out of memory and from any other failure.
enum class Status {
    Ok,
    UnknownFormat,  // no decoder knows the file ("invalid parameter")
    SystemError,    // the file could not be opened or written; see message
    OutOfMemory,    // the picture's buffers cannot be had; see message
    Failed,         // anything else (damaged data, encoder refusal)
};

struct Answer {
    Status status = Status::Failed;
    std::string message;  // the system's text for SystemError and OutOfMemory

    bool ok() const { return status == Status::Ok; }
};

// Largest picture the service decodes, in pixels; a file that declares more
// is answered with OutOfMemory before anything is allocated.
inline constexpr long long kMaxDecodedPixels = 1LL << 28;

// A decoded picture in whatever format the file held, already turned upright
// as its EXIF orientation asks.
class DecodedImage {
public:
    DecodedImage();
    ~DecodedImage();
    DecodedImage(DecodedImage&&) noexcept;
    DecodedImage& operator=(DecodedImage&&) noexcept;

    // Decodes the file at path, replacing any picture held before.
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

enum class FileType { Jpeg, Tiff };

inline const char* mimeType(FileType type) { return type == FileType::Jpeg ? "image/jpeg" : "image/tiff"; }

// True when an encoder for the MIME type ("image/jpeg", "image/tiff",
// "image/png", "image/bmp") is available.
bool hasEncoder(const std::string& mimeType);

struct EncodeOptions {
    FileType type = FileType::Jpeg;
    int jpegQuality = 90;  // 0..100, JPEG only
    std::string title;     // the image title, stored where the format has a place for it
};

// Writes a 24-bit bitmap to path as JPEG or 8-bit TIFF.
Answer encode(const Bitmap& image24, const std::string& path, const EncodeOptions& options);

}  // namespace qv::codec
