#include "codec/codec.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QImageWriter>

#include <cerrno>
#include <cstring>
#include <thread>

#include "support/decoded_bitmap.h"
#include "support/pair_checks.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_files.h"
#include "text/failure_text.h"

namespace qv {
namespace {

using codec::Status;
using test::bgrAt;
using test::decodeToBitmap;
using test::testDataPath;

// Writes `bytes` under a new name in dir and returns its path.
std::string writeFile(const test::TempDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir.file(name);
    EXPECT_TRUE(test::writeTextFile(path, bytes)) << path;
    return path;
}

TEST(CodecDecode, AnswersTellUnknownFilesFromSystemErrorsAndDamage)
{
    test::TempDir dir;
    codec::DecodedImage image;

    EXPECT_EQ(image.load(testDataPath("bad_text_renamed.png")).status, Status::UnknownFormat);
    EXPECT_EQ(image.load(testDataPath("bad_empty.jpg")).status, Status::UnknownFormat);

    codec::Answer missing = image.load(dir.file("missing.jpg"));
    EXPECT_EQ(missing.status, Status::SystemError);
    EXPECT_EQ(missing.message, failureReason(ENOENT));
    codec::Answer directory = image.load(dir.path().string());
    EXPECT_EQ(directory.status, Status::SystemError);
    EXPECT_EQ(directory.message, failureReason(EISDIR));

    // 100000 x 100000 declared: refused before any allocation.
    codec::Answer huge = image.load(testDataPath("bad_huge_100000x100000.tif"));
    EXPECT_EQ(huge.status, Status::TooLarge);
    EXPECT_EQ(huge.declaredWidth, 100000);
    EXPECT_EQ(huge.declaredHeight, 100000);

    EXPECT_EQ(image.load(testDataPath("bad_truncated_16bit.tif")).status, Status::Damaged);
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

// A decoder that completes a cut file with made-up rows must not hand it out.
TEST(CodecDecode, CutFilesAreDamagedRatherThanFilledIn)
{
    test::TempDir dir;
    codec::DecodedImage image;
    ASSERT_TRUE(image.load(testDataPath("photo_landscape_moraine_lake.jpg")).ok());
    const codec::Answer truncated = image.load(testDataPath("bad_truncated.jpg"));
    EXPECT_EQ(truncated.status, Status::Damaged);
    EXPECT_EQ(truncated.message, "");
    EXPECT_TRUE(image.empty());

    QImage picture(QString::fromStdString(testDataPath("bmp24_moraine_lake_640x480.bmp")));
    ASSERT_FALSE(picture.isNull());
    QImageWriter progressive(QString::fromStdString(dir.file("progressive.jpg")), "jpeg");
    progressive.setProgressiveScanWrite(true);
    ASSERT_TRUE(progressive.write(picture));
    const std::string sources[] = {testDataPath("bracket_arch_2_0.25s.jpg"), dir.file("progressive.jpg"),
                                   testDataPath("bmp24_moraine_lake_640x480.bmp")};
    for (const std::string& source : sources) {
        const std::string whole = test::fileBytes(source);
        ASSERT_TRUE(image.load(source).ok()) << source;
        for (double kept : {0.2, 0.5, 0.97}) {
            const std::string cut = writeFile(dir, "cut", whole.substr(0, static_cast<std::size_t>(whole.size() * kept)));
            EXPECT_EQ(image.load(cut).status, Status::Damaged) << source << " cut to " << kept;
        }
    }

    // The PNG decoder refuses a cut file itself; it is damaged all the same.
    const std::string png = test::fileBytes(testDataPath("png16_room_backlit_windows.png"));
    for (double kept : {0.2, 0.5, 0.97})
        EXPECT_EQ(image.load(writeFile(dir, "cut.png", png.substr(0, static_cast<std::size_t>(png.size() * kept)))).status,
                  Status::Damaged)
            << "png cut to " << kept;
}

TEST(CodecDecode, TrailingBytesAndHarmlessWarningsAreNoDamage)
{
    test::TempDir dir;
    for (const char* name : {"bracket_arch_1_0.033s.jpg", "bmp24_moraine_lake_640x480.bmp"}) {
        const std::string whole = test::fileBytes(testDataPath(name));
        auto expected = decodeToBitmap(testDataPath(name));
        ASSERT_TRUE(expected) << name;
        auto trailing = decodeToBitmap(writeFile(dir, "trailing", whole + std::string("\xff\xd8 and then some garbage")));
        ASSERT_TRUE(trailing) << name;
        EXPECT_TRUE(test::samePixels(*trailing, *expected)) << name;
    }
    // Two stray bytes before the end-of-image marker draw libjpeg's warning of
    // extraneous bytes; the picture itself is whole.
    const std::string jpeg = test::fileBytes(testDataPath("bracket_arch_1_0.033s.jpg"));
    ASSERT_EQ(jpeg.substr(jpeg.size() - 2), "\xff\xd9");
    auto stray = decodeToBitmap(writeFile(dir, "stray.jpg", jpeg.substr(0, jpeg.size() - 2) + "\x12\x34\xff\xd9"));
    ASSERT_TRUE(stray);
    EXPECT_TRUE(test::samePixels(*stray, *decodeToBitmap(testDataPath("bracket_arch_1_0.033s.jpg"))));
}

// Damage is noted per decoding thread: a cut file on one thread does not
// fail a whole one decoded at the same time on another.
TEST(CodecDecode, DamageOnOneThreadLeavesADecodeOnAnotherAlone)
{
    Status cut = Status::Ok, whole = Status::Failed;
    for (int round = 0; round < 3; ++round) {
        std::thread damaged([&] { cut = codec::DecodedImage().load(testDataPath("bad_truncated.jpg")).status; });
        std::thread intact([&] { whole = codec::DecodedImage().load(testDataPath("photo_landscape_moraine_lake.jpg")).status; });
        damaged.join();
        intact.join();
        EXPECT_EQ(cut, Status::Damaged);
        EXPECT_EQ(whole, Status::Ok);
    }
}

}  // namespace
}  // namespace qv
