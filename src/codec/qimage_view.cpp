#include "codec/qimage_view.h"

#include "imaging/bitmap.h"

namespace qv {

QImage qimageView(Bitmap& bitmap)
{
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()),
                  QImage::Format_BGR888);
}

QImage qimageView(const Bitmap& bitmap)
{
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()),
                  QImage::Format_BGR888);
}

}  // namespace qv
