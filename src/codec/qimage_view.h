#pragma once

#include <QImage>

namespace qv {

class Bitmap;

// A QImage over a 24-bit bitmap's own rows (4-byte aligned, as QImage
// requires), without a copy. The bitmap must outlive the image; the const
// form is read-only.
QImage qimageView(Bitmap& bitmap);
QImage qimageView(const Bitmap& bitmap);

}  // namespace qv
