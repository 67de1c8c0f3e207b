#include "imaging/codec.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/temp_dir.h"
#include "support/test_files.h"
#include "support/test_data.h"

namespace qv {
namespace {

using codec::Status;
using test::testDataPath;

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

// Blue, green, red of pixel (x, y) of a 24-bit bitmap.
std::array<int, 3> bgrAt(const Bitmap& b, int x, int y)
{
    const uint8_t* p = b.row(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CodecDecode, AnswersTellUnknownFilesFromSystemErrorsAndOtherFailures)
{
    test::TempDir dir;
    codec::DecodedImage image;

    EXPECT_EQ(image.load(testDataPath("bad_text_renamed.png")).status, Status::UnknownFormat);
    EXPECT_EQ(image.load(testDataPath("bad_empty.jpg")).status, Status::UnknownFormat);

    codec::Answer missing = image.load(dir.file("missing.jpg"));
    EXPECT_EQ(missing.status, Status::SystemError);
    EXPECT_EQ(missing.message, std::strerror(ENOENT));
    codec::Answer directory = image.load(dir.path().string());
    EXPECT_EQ(directory.status, Status::SystemError);
    EXPECT_EQ(directory.message, std::strerror(EISDIR));

    // 100000 x 100000 declared: refused before any allocation.
    codec::Answer huge = image.load(testDataPath("bad_huge_100000x100000.tif"));
    EXPECT_EQ(huge.status, Status::OutOfMemory);
    EXPECT_EQ(huge.message, std::strerror(ENOMEM));

    EXPECT_EQ(image.load(testDataPath("bad_truncated_16bit.tif")).status, Status::Failed);
    EXPECT_TRUE(image.empty());
}

TEST(CodecDecode, HonoursExifOrientation)
{
    codec::DecodedImage image;
    ASSERT_TRUE(image.load(testDataPath("photo_orientation6_backlit_person.jpg")).ok());
    EXPECT_EQ(image.width(), 1200);
    EXPECT_EQ(image.height(), 1800);
}

TEST(CodecDecode, PhotosAboveTheToolkitsDefaultLimitDecode)
{
    // 8200 x 8200 decodes to 269 MB of 32-bit pixels, more than the
    // toolkit's default allocation limit of 256 MB.
    test::TempDir dir;
    QImage big(8200, 8200, QImage::Format_RGB32);
    big.fill(QColor(10, 20, 30));
    ASSERT_TRUE(big.save(QString::fromStdString(dir.file("big.png"))));
    big = QImage();
    auto bitmap = decodeToBitmap(dir.file("big.png"));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bgrAt(*bitmap, 8199, 8199), (std::array<int, 3>{30, 20, 10}));
}

// Every decoded pixel format arrives as 8-bit blue, green, red.
TEST(CodecDecode, DrawConvertsEveryPixelFormatToBgr24)
{
    test::TempDir dir;
    const QString path = QString::fromStdString(dir.file("probe.png"));
    struct Case {
        QImage image;
        std::array<int, 3> expected;  // blue, green, red
        int tolerance;
    };
    QImage rgb(20, 17, QImage::Format_RGB888);
    rgb.fill(QColor(200, 100, 7));
    QImage grey8(20, 17, QImage::Format_Grayscale8);
    grey8.fill(QColor(90, 90, 90));
    QImage grey16(20, 17, QImage::Format_Grayscale16);
    grey16.fill(QColor::fromRgba64(0x1234, 0x1234, 0x1234));
    QImage rgb16(20, 17, QImage::Format_RGBX64);
    rgb16.fill(QColor::fromRgba64(0xff00, 0x8000, 0x0100));
    QImage palette = rgb.convertToFormat(QImage::Format_Indexed8);
    QImage halfAlpha(20, 17, QImage::Format_ARGB32);
    halfAlpha.fill(QColor(200, 100, 50, 128));

    const Case cases[] = {
        {rgb, {7, 100, 200}, 0},
        {grey8, {90, 90, 90}, 0},
        {grey16, {0x12, 0x12, 0x12}, 1},
        {rgb16, {1, 0x80, 0xff}, 1},
        {palette, {7, 100, 200}, 0},
        {halfAlpha, {25, 50, 100}, 1},  // laid over black
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.image.save(path)) << c.image.format();
        auto bitmap = decodeToBitmap(path.toStdString());
        ASSERT_TRUE(bitmap) << c.image.format();
        ASSERT_EQ(bitmap->width(), 20);
        ASSERT_EQ(bitmap->height(), 17);
        for (int y : {0, 16})
            for (int x : {0, 19}) {
                const auto got = bgrAt(*bitmap, x, y);
                for (int ch = 0; ch < 3; ++ch)
                    EXPECT_NEAR(got[ch], c.expected[ch], c.tolerance) << c.image.format() << " channel " << ch;
            }
    }
}

TEST(CodecDecode, DrawRefusesABitmapOfAnotherSizeOrFormat)
{
    codec::DecodedImage image;
    ASSERT_TRUE(image.load(testDataPath("edge_tiny_15x200.png")).ok());
    EXPECT_FALSE(image.drawInto(*Bitmap::create(15, 199, PixelFormat::Bgr24)));
    EXPECT_FALSE(image.drawInto(*Bitmap::create(15, 200, PixelFormat::Bgr48)));
    EXPECT_TRUE(image.drawInto(*Bitmap::create(15, 200, PixelFormat::Bgr24)));
    image.release();
    EXPECT_TRUE(image.empty());
    EXPECT_FALSE(image.drawInto(*Bitmap::create(15, 200, PixelFormat::Bgr24)));
}

TEST(CodecEncode, OffersTheFourMimeTypes)
{
    for (const char* mime : {"image/jpeg", "image/tiff", "image/png", "image/bmp"})
        EXPECT_TRUE(codec::hasEncoder(mime)) << mime;
    EXPECT_FALSE(codec::hasEncoder("image/x-quorvelin"));
}

TEST(CodecEncode, TiffKeepsEveryPixel)
{
    test::TempDir dir;
    auto original = decodeToBitmap(testDataPath("bmp24_moraine_lake_640x480.bmp"));
    ASSERT_TRUE(original);
    ASSERT_TRUE(codec::encode(*original, dir.file("out.tif"), {codec::FileType::Tiff, 0, "title"}).ok());
    auto reread = decodeToBitmap(dir.file("out.tif"));
    ASSERT_TRUE(reread);
    ASSERT_EQ(reread->width(), 640);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(std::memcmp(reread->row(y), original->row(y), 640 * 3), 0) << "row " << y;
}

TEST(CodecEncode, JpegFollowsTheQualityAndCarriesTheTitle)
{
    test::TempDir dir;
    auto original = decodeToBitmap(testDataPath("bmp24_moraine_lake_640x480.bmp"));
    ASSERT_TRUE(original);
    const std::string title = "https://quorvelin.example/";
    ASSERT_TRUE(codec::encode(*original, dir.file("q40.jpg"), {codec::FileType::Jpeg, 40, title}).ok());
    ASSERT_TRUE(codec::encode(*original, dir.file("q100.jpg"), {codec::FileType::Jpeg, 100, title}).ok());
    const std::string low = fileBytes(dir.file("q40.jpg"));
    const std::string high = fileBytes(dir.file("q100.jpg"));
    EXPECT_LT(low.size() * 2, high.size());
    EXPECT_NE(high.find(title), std::string::npos);

    auto reread = decodeToBitmap(dir.file("q100.jpg"));
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->width(), 640);
    EXPECT_EQ(reread->height(), 480);
    const auto a = bgrAt(*reread, 320, 100), b = bgrAt(*original, 320, 100);
    for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(a[ch], b[ch], 6);
}

TEST(CodecEncode, UnwritablePathGivesTheSystemsText)
{
    test::TempDir dir;
    auto image = Bitmap::create(32, 32, PixelFormat::Bgr24);
    const codec::Answer answer = codec::encode(*image, dir.file("no/such/dir.jpg"), {});
    EXPECT_EQ(answer.status, Status::SystemError);
    EXPECT_EQ(answer.message, std::strerror(ENOENT));
    EXPECT_EQ(codec::encode(*Bitmap::create(32, 32, PixelFormat::Bgr48), dir.file("x.jpg"), {}).status,
              Status::Failed);
}

}  // namespace
}  // namespace qv
