#pragma once

#include <QImage>
#include <QSize>

namespace qv {

class Bitmap;

// The thumbnail panel's picture: the whole 24-bit image shrunk with the cubic
// filter to fit the panel (never enlarged), centred on black. A null image
// when the picture cannot be made.
QImage renderThumbnail(const Bitmap& image, QSize panel);

}  // namespace qv
