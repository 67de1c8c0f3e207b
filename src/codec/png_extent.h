#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv::codec {

// Reads n bytes at a file offset; false when they cannot all be had.
using ReadAt = std::function<bool(uint64_t offset, uint8_t* out, std::size_t n)>;

// True when a PNG file (its first bytes carry the PNG signature) ends inside
// a chunk or before its closing IEND chunk. The file is walked chunk header
// by chunk header, without reading the data. libpng meets such a file with a
// message of its own on standard error before it fails; this finds it first.
// A file without the signature is not judged: false.
bool pngCutShort(const ReadAt& readAt, uint64_t fileSize);

}  // namespace qv::codec
