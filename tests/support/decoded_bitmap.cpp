#include "support/decoded_bitmap.h"

#include "codec/codec.h"

namespace qv::test {

std::unique_ptr<Bitmap> decodeToBitmap(const std::string& path)
{
    codec::DecodedImage image;
    if (!image.load(path).ok())
        return nullptr;
    auto bitmap = Bitmap::create(image.width(), image.height(), PixelFormat::Bgr24);
    if (!bitmap || !image.drawInto(*bitmap))
        return nullptr;
    return bitmap;
}

std::array<int, 3> bgrAt(const Bitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.row(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

}  // namespace qv::test
