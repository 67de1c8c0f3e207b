#pragma once

#include <array>
#include <memory>
#include <string>

#include "imaging/bitmap.h"

namespace qv::test {

// A file decoded by the codec service and drawn into a 24-bit bitmap;
// nullptr when the codec does not answer Ok.
std::unique_ptr<Bitmap> decodeToBitmap(const std::string& path);

// Blue, green, red of pixel (x, y) of a 24-bit bitmap.
std::array<int, 3> bgrAt(const Bitmap& bitmap, int x, int y);

}  // namespace qv::test
