#pragma once

#include <string>

#include "codec/codec.h"
#include "imaging/bitmap.h"

namespace qv::codec {

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

// Writes a 24-bit bitmap as JPEG or 8-bit TIFF into an open, empty file
// (a descriptor open for writing at offset 0, which stays open). Unlike a
// check of the file after the encoder is done, every single write and seek
// is watched, so a failed write is never taken for a finished file (the
// TIFF encoder seeks back to its header after writing, which would clear a
// file's error state): SystemError with the system's text for the first
// failure, OutOfMemory when the system ran out of memory, Failed when the
// encoder gave up for any other reason.
Answer encodeToDescriptor(const Bitmap& image24, int fd, const EncodeOptions& options);

}  // namespace qv::codec
