#include "codec/png_extent.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qv::codec {
namespace {

// A small real PNG, written by the toolkit (signature, IHDR, IDAT, IEND).
std::vector<uint8_t> smallPng()
{
    QImage image(40, 30, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) & 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

bool cutShort(const std::vector<uint8_t>& file)
{
    const ReadAt readAt = [&file](uint64_t offset, uint8_t* out, std::size_t n) {
        if (offset + n > file.size())
            return false;
        std::memcpy(out, file.data() + offset, n);
        return true;
    };
    return pngCutShort(readAt, file.size());
}

TEST(PngExtent, AWholeFileIsNotCutAtAnyOtherLengthItIs)
{
    const std::vector<uint8_t> png = smallPng();
    EXPECT_FALSE(cutShort(png));
    // Every shorter length past the signature, up to the last byte of IEND's CRC.
    for (std::size_t length = 8; length < png.size(); ++length)
        EXPECT_TRUE(cutShort({png.begin(), png.begin() + length})) << length;
}

TEST(PngExtent, BytesAfterTheEndAndOtherFormatsAreNotJudged)
{
    std::vector<uint8_t> png = smallPng();
    png.insert(png.end(), {1, 2, 3, 4, 5});
    EXPECT_FALSE(cutShort(png));
    EXPECT_FALSE(cutShort({'B', 'M', 0, 0}));
    EXPECT_FALSE(cutShort({0x89, 'P', 'N'}));

    // A chunk length far beyond the file.
    std::vector<uint8_t> huge = smallPng();
    std::fill(huge.begin() + 8, huge.begin() + 12, uint8_t{0xFF});
    EXPECT_TRUE(cutShort(huge));
}

}  // namespace
}  // namespace qv::codec
