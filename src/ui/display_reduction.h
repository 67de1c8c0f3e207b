#pragma once

#include <QImage>

namespace qv {
class Bitmap;
}

namespace qv::ui {

// A 24-bit bitmap reduced to width x height for the screen: every output
// pixel is the mean of the pixels of its area on up to two of the area's
// rows (all of them down to 50 %), so that fine detail does not alias. The
// rows are shared out over a few threads. `recycled`, an earlier reduction
// of the same size that no one else holds, is filled instead of a new image.
QImage reduceForDisplay(const Bitmap& bitmap, int width, int height, QImage recycled = {});

}  // namespace qv::ui
