#pragma once

#include <QImage>
#include <QSize>

namespace qv {

class Bitmap;

// The thumbnail panel's picture: the whole 24-bit image shrunk with the cubic
// filter to fit the panel (never enlarged), centred on black. `reduced`, when
// given, is the whole image already reduced by area means (for the view); it
// replaces reading the image when it is large enough. A null image when the
// picture cannot be made.
QImage renderThumbnail(const Bitmap& image, QSize panel, const QImage* reduced = nullptr);

}  // namespace qv
