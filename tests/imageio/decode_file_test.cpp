#include "imageio/decode_file.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <tiffio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "imageio/image_io_context.h"
#include "support/pair_checks.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_files.h"
#include "support/tiff_writer.h"
#include "text/failure_text.h"

namespace qv {
namespace {

using test::testDataPath;

// One decode with a fresh context.
struct Load {
    ImageIoContext ctx;
    std::atomic<bool> abort{false};
    SourcePair pair;
    bool ok = false;

    explicit Load(const std::string& path, ProgressRange range = {}, bool aborted = false)
    {
        abort = aborted;
        ok = decodeFile(path, ctx, abort, pair, range);
    }
};

std::string loadError(const std::string& path, const std::string& reason)
{
    return failureLine(kLoadErrorText, path, reason);
}

// A picture with distinct red, green and blue everywhere.
uint16_t colourSample(int x, int y, int c) { return static_cast<uint16_t>(x * 977 + y * 131 + c * 20011); }
uint16_t greySample(int x, int y, int) { return static_cast<uint16_t>(x * 1013 + y * 37); }

TEST(FileExtension, IsTheLowerCasedTextAfterTheLastDot)
{
    EXPECT_EQ(fileExtension("/photos/IMG_0001.JPG"), "jpg");
    EXPECT_EQ(fileExtension("a.b.JPEG"), "jpeg");
    EXPECT_EQ(fileExtension("/photos/noextension"), "");
    EXPECT_EQ(fileExtension("name."), "");
    EXPECT_EQ(fileExtension("/shots.d/raw"), "d/raw");
}

TEST(DecodeDispatch, JpgOrJpegInAnyCaseGoesToTheCodecOnly)
{
    // A 16-bit TIFF named .JPG is decoded by the codec (8 bits per channel);
    // under its own name the TIFF reader keeps all 16.
    test::TempDir dir;
    for (const char* name : {"photo.JPG", "photo.Jpeg"}) {
        ASSERT_TRUE(test::copyFile(testDataPath("tiff16_d30_linear_rgb.tif"), dir.file(name)));
        Load load(dir.file(name));
        ASSERT_TRUE(load.ok) << name;
        EXPECT_EQ(load.ctx.bitDepth, 24) << name;
        EXPECT_TRUE(test::pairIsConsistent(load.pair, 24));
    }
    ASSERT_TRUE(test::copyFile(testDataPath("tiff16_d30_linear_rgb.tif"), dir.file("photo.TIF")));
    EXPECT_EQ(Load(dir.file("photo.TIF")).ctx.bitDepth, 48);

    // A RAW file named .jpg never reaches the RAW decoder.
    ASSERT_TRUE(test::copyFile(testDataPath("raw_canon_eos_d30.crw"), dir.file("raw.jpg")));
    Load raw(dir.file("raw.jpg"));
    EXPECT_FALSE(raw.ok);
    EXPECT_EQ(raw.ctx.errorText, failureLine(kUnknownFormatText, dir.file("raw.jpg"), {}));
}

TEST(DecodeDispatch, APathWithoutDotIsOfferedToEveryDecoderInTurn)
{
    test::TempDir dir;
    const struct {
        const char* source;
        int bitDepth;
    } cases[] = {
        {"tiff16_d30_linear_gray.tif", 48},
        {"raw_kodak_dc50.kdc", 48},
        {"photo_landscape_moraine_lake.jpg", 24},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(std::string("noext") + std::to_string(c.bitDepth) + c.source[0]);
        ASSERT_TRUE(test::copyFile(testDataPath(c.source), path));
        Load load(path);
        ASSERT_TRUE(load.ok) << c.source;
        EXPECT_EQ(load.ctx.bitDepth, c.bitDepth) << c.source;
    }
}

TEST(DecodeDispatch, EightBitFilesEndAtTheCodecWithDepth24)
{
    for (const char* name : {"tiff8_d30_srgb_lzw.tif", "png16_room_backlit_windows.png", "bmp24_moraine_lake_640x480.bmp"}) {
        Load load(testDataPath(name));
        ASSERT_TRUE(load.ok) << name;
        EXPECT_EQ(load.ctx.bitDepth, 24) << name;
        EXPECT_TRUE(test::pairIsConsistent(load.pair, 24)) << name;
        EXPECT_EQ(load.ctx.decodedWidth, load.pair.image8->width());
        EXPECT_EQ(load.ctx.workingHeight.load(), load.pair.image8->height());
    }
    Load tiff(testDataPath("tiff8_d30_srgb_lzw.tif"));
    EXPECT_EQ(tiff.pair.image16->width(), 1000);
    EXPECT_EQ(tiff.pair.image16->height(), 665);
}

TEST(DecodeDispatch, EightBitValuesAreShiftedLeftBy8)
{
    test::TempDir dir;
    QImage image(16, 16, QImage::Format_RGB888);
    image.fill(QColor(255, 128, 1));
    image.setPixelColor(3, 5, QColor(0, 0, 0));
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("levels.png"))));
    Load load(dir.file("levels.png"));
    ASSERT_TRUE(load.ok);
    const uint16_t* row = load.pair.image16->row16(0);
    EXPECT_EQ(row[0], 1 << 8);   // blue
    EXPECT_EQ(row[1], 128 << 8); // green
    EXPECT_EQ(row[2], 65280);    // red 255, not 65535
    EXPECT_EQ(load.pair.image16->row16(5)[9], 0);
}

TEST(Tiff16, GreyInterleavedAndPlanarFilesOfOnePictureGiveTheSamePixels)
{
    Load interleaved(testDataPath("tiff16_d30_linear_rgb.tif"));
    Load planar(testDataPath("tiff16_d30_linear_rgb_planar.tif"));
    Load grey(testDataPath("tiff16_d30_linear_gray.tif"));
    for (Load* load : {&interleaved, &planar, &grey}) {
        ASSERT_TRUE(load->ok);
        EXPECT_EQ(load->ctx.bitDepth, 48);
        EXPECT_TRUE(test::pairIsConsistent(load->pair, 48));
    }
    EXPECT_TRUE(test::samePixels(*interleaved.pair.image16, *planar.pair.image16));
    const uint16_t* g = grey.pair.image16->row16(300);
    EXPECT_EQ(g[3 * 500], g[3 * 500 + 1]);
    EXPECT_EQ(g[3 * 500], g[3 * 500 + 2]);

    // Made here: the same grey picture as one sample, as RGB and as planes.
    test::TempDir dir;
    test::TiffLayout layout{.width = 41, .height = 23, .samples = 1};
    ASSERT_TRUE(test::writeTiff(dir.file("grey.tif"), layout, greySample));
    layout.samples = 3;
    ASSERT_TRUE(test::writeTiff(dir.file("rgb.tif"), layout, greySample));
    layout.separatePlanes = true;
    ASSERT_TRUE(test::writeTiff(dir.file("planes.tif"), layout, greySample));
    Load a(dir.file("grey.tif")), b(dir.file("rgb.tif")), c(dir.file("planes.tif"));
    ASSERT_TRUE(a.ok && b.ok && c.ok);
    EXPECT_TRUE(test::samePixels(*a.pair.image16, *b.pair.image16));
    EXPECT_TRUE(test::samePixels(*a.pair.image16, *c.pair.image16));
    EXPECT_TRUE(test::samePixels(*a.pair.image8, *c.pair.image8));
}

TEST(Tiff16, ChannelsLandInBlueGreenRedOrderWhateverTheStripLayout)
{
    test::TempDir dir;
    const test::TiffLayout layouts[] = {
        {.width = 37, .height = 29},
        {.width = 37, .height = 29, .compression = 8, .rowsPerStrip = 7},
        {.width = 37, .height = 29, .separatePlanes = true},
        // Compressed strips of several rows: the planes must be read in row order.
        {.width = 37, .height = 29, .separatePlanes = true, .compression = 8, .rowsPerStrip = 7},
        {.width = 37, .height = 29, .separatePlanes = true, .compression = 5, .rowsPerStrip = 29},
        // Tiles that overhang the picture's right and bottom edges.
        {.width = 37, .height = 29, .tileSide = 16},
        {.width = 37, .height = 29, .compression = 8, .tileSide = 16},
        {.width = 37, .height = 29, .separatePlanes = true, .compression = 5, .tileSide = 16},
    };
    for (const test::TiffLayout& layout : layouts) {
        const std::string path = dir.file("colour.tif");
        ASSERT_TRUE(test::writeTiff(path, layout, colourSample));
        Load load(path);
        ASSERT_TRUE(load.ok) << layout.compression << " " << layout.rowsPerStrip;
        EXPECT_TRUE(test::pairIsConsistent(load.pair, 48));
        bool allMatch = true;
        for (int y = 0; y < 29; ++y)
            for (int x = 0; x < 37; ++x)
                for (int channel = 0; channel < 3; ++channel)
                    allMatch &= load.pair.image16->row16(y)[3 * x + channel] == colourSample(x, y, 2 - channel);
        EXPECT_TRUE(allMatch) << "planes " << layout.separatePlanes << " compression " << layout.compression
                              << " rows per strip " << layout.rowsPerStrip << " tile " << layout.tileSide;
    }
}

// The toolkit's 8-bit TIFF reader turns pictures as their Orientation tag
// says; the 16-bit reader must show the same picture the same way up.
TEST(Tiff16, PicturesAreTurnedAsTheirOrientationSaysLikeThe8BitTwin)
{
    test::TempDir dir;
    const auto twin8 = [](int x, int y, int c) { return static_cast<uint16_t>(colourSample(x, y, c) >> 8); };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        for (const test::TiffLayout layout : {test::TiffLayout{.width = 37, .height = 23},
                                              test::TiffLayout{.width = 37, .height = 23, .separatePlanes = true},
                                              test::TiffLayout{.width = 37, .height = 23, .samples = 1},
                                              test::TiffLayout{.width = 37, .height = 23, .tileSide = 16}}) {
            test::TiffLayout turned = layout;
            turned.orientation = orientation;
            ASSERT_TRUE(test::writeTiff(dir.file("wide.tif"), turned, colourSample));
            turned.bitsPerSample = 8;
            turned.separatePlanes = false;
            turned.tileSide = 0;
            ASSERT_TRUE(test::writeTiff(dir.file("narrow.tif"), turned, twin8));
            Load wide(dir.file("wide.tif")), narrow(dir.file("narrow.tif"));
            ASSERT_TRUE(wide.ok && narrow.ok) << orientation;
            EXPECT_EQ(wide.ctx.bitDepth, 48);
            EXPECT_EQ(narrow.ctx.bitDepth, 24);
            EXPECT_EQ(wide.ctx.decodedWidth, orientation >= 5 ? 23 : 37) << orientation;
            EXPECT_TRUE(test::pairIsConsistent(wide.pair, 48)) << orientation;
            EXPECT_TRUE(test::samePixels(*wide.pair.image8, *narrow.pair.image8))
                << "orientation " << orientation << " samples " << layout.samples << " planes "
                << layout.separatePlanes;
        }
    }
}

TEST(Tiff16, OnlyUnsignedSamplesAreReadAs16Bits)
{
    // Half-precision floats of 0.5 (0x3800 plus a little) must not come out
    // as the integer 0x38xx: the reader leaves such files to the codec.
    test::TempDir dir;
    const auto halfish = [](int x, int, int c) { return static_cast<uint16_t>(0x3800 + (x % 4) * 4 + c); };
    ASSERT_TRUE(test::writeTiff(dir.file("float.tif"), {.width = 32, .height = 20, .sampleFormat = 3}, halfish));
    ASSERT_TRUE(test::writeTiff(dir.file("signed.tif"), {.width = 32, .height = 20, .sampleFormat = 2}, halfish));
    ASSERT_TRUE(test::writeTiff(dir.file("unsigned.tif"), {.width = 32, .height = 20, .sampleFormat = 1}, halfish));

    Load floats(dir.file("float.tif"));
    ASSERT_TRUE(floats.ok) << floats.ctx.errorText;
    EXPECT_EQ(floats.ctx.bitDepth, 24);
    EXPECT_EQ(floats.pair.image8->row(7)[3 * 5], 128);
    EXPECT_NE(Load(dir.file("signed.tif")).ctx.bitDepth, 48);

    Load plain(dir.file("unsigned.tif"));
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.ctx.bitDepth, 48);
    EXPECT_EQ(plain.pair.image16->row16(7)[3 * 5], 0x3800 + 4 + 2);
}

TEST(Tiff16, DamagedOrUnreadableFilesFailWithTheLoadErrorText)
{
    test::TempDir dir;
    // A compressed file whose middle strips are overwritten.
    ASSERT_TRUE(test::writeTiff(dir.file("damaged.tif"),
                                {.width = 300, .height = 200, .compression = 8, .rowsPerStrip = 16}, colourSample));
    {
        std::fstream file(dir.file("damaged.tif"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(std::filesystem::file_size(dir.file("damaged.tif")) / 3));
        file.write(std::string(2000, '\x5a').data(), 2000);
    }
    // A header that declares 16000 x 16000 16-bit pixels over no data at all
    // is refused before the picture is allocated.
    ASSERT_TRUE(test::writeTiffHeaderOnly(dir.file("empty.tif"), 16000, 16000));
    for (const std::string& path :
         {dir.file("damaged.tif"), dir.file("empty.tif"), testDataPath("bad_truncated_16bit.tif")}) {
        Load load(path);
        EXPECT_FALSE(load.ok) << path;
        EXPECT_EQ(load.ctx.errorText, loadError(path, kDamagedReason)) << path;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << path;
    }
}

TEST(Tiff16, DeclaredSizesBeyondTheLimitFailAsTooLarge)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeTiffHeaderOnly(dir.file("huge.tif"), 100000, 100000));
    ASSERT_TRUE(test::writeTiffHeaderOnly(dir.file("wide.tif"), 4000000000u, 16));
    const struct {
        std::string path;
        int64_t width, height;
    } cases[] = {{dir.file("huge.tif"), 100000, 100000},
                 {dir.file("wide.tif"), 4000000000, 16},
                 {testDataPath("bad_huge_100000x100000.tif"), 100000, 100000}};
    for (const auto& c : cases) {
        Load load(c.path);
        EXPECT_FALSE(load.ok) << c.path;
        EXPECT_EQ(load.ctx.errorText, loadError(c.path, tooLargeReason(c.width, c.height))) << c.path;
    }
}

// Samples no decoder reads (here 32-bit integers) are named, not taken for damage.
TEST(Tiff16, UnreadableSampleFormatsAreNamed)
{
    test::TempDir dir;
    const std::string path = dir.file("int32.tif");
    {
        TIFF* tiff = TIFFOpen(path.c_str(), "w");
        ASSERT_TRUE(tiff);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 32);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 32);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
        std::vector<uint32_t> row(32, 123456);
        for (uint32_t y = 0; y < 32; ++y)
            ASSERT_GE(TIFFWriteScanline(tiff, row.data(), y, 0), 0);
        TIFFClose(tiff);
    }
    Load load(path);
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.ctx.errorText,
              loadError(path, "nieobsługiwany format próbek: 32-bitowe liczby całkowite bez znaku"));
}

TEST(DecodeDispatch, ImagesBelow16PixelsFailWithTheLimit)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeTiff(dir.file("narrow.tif"), {.width = 15, .height = 40}, colourSample));
    ASSERT_TRUE(test::writeTiff(dir.file("smallest.tif"), {.width = 16, .height = 16}, colourSample));
    const struct {
        std::string path;
        int width, height;
    } cases[] = {{testDataPath("edge_tiny_15x200.png"), 15, 200}, {dir.file("narrow.tif"), 15, 40}};
    for (const auto& c : cases) {
        Load load(c.path);
        EXPECT_FALSE(load.ok) << c.path;
        EXPECT_EQ(load.ctx.errorText, loadError(c.path, tooSmallReason(c.width, c.height))) << c.path;
    }
    Load smallest(dir.file("smallest.tif"));
    EXPECT_TRUE(smallest.ok);
    EXPECT_EQ(smallest.ctx.bitDepth, 48);
}

TEST(DecodeDispatch, FilesNoDecoderTakesEndWithUnknownFormatAndPercentZero)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeTextFile(dir.file("notes"), "Plain words, no picture.\n"));
    for (const std::string& path : {testDataPath("bad_text_renamed.png"), dir.file("notes")}) {
        Load load(path, {20, 60});
        EXPECT_FALSE(load.ok) << path;
        EXPECT_EQ(load.ctx.errorText, failureLine(kUnknownFormatText, path, {})) << path;
        EXPECT_EQ(load.ctx.percent.load(), 0) << path;
    }
}

TEST(DecodeDispatch, BrokenTestFilesFailCleanlyWithTheirTexts)
{
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"bad_empty.jpg", loadError(testDataPath("bad_empty.jpg"), "plik jest pusty")},
        {"bad_text_renamed.png", failureLine(kUnknownFormatText, testDataPath("bad_text_renamed.png"), {})},
        {"bad_truncated_16bit.tif", loadError(testDataPath("bad_truncated_16bit.tif"), kDamagedReason)},
        // its bottom would be made up
        {"bad_truncated.jpg", loadError(testDataPath("bad_truncated.jpg"), kDamagedReason)},
    };
    for (const auto& c : cases) {
        Load load(testDataPath(c.name));
        EXPECT_FALSE(load.ok) << c.name;
        EXPECT_EQ(load.ctx.errorText, c.text) << c.name;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << c.name;
    }
}

// Files cut short fail with the load error, whether the toolkit would have
// completed them with made-up rows or refuses them itself.
TEST(DecodeDispatch, CutFilesFailAndTrailingBytesDoNot)
{
    test::TempDir dir;
    const std::string bmp = test::fileBytes(testDataPath("bmp24_moraine_lake_640x480.bmp"));
    const std::string png = test::fileBytes(testDataPath("png16_room_backlit_windows.png"));
    const std::string jpeg = test::fileBytes(testDataPath("photo_landscape_moraine_lake.jpg"));
    // The JPEG's own header declares 16000 x 16000 over a few hundred bytes:
    // refused before a gigabyte is allocated for it.
    std::string declaresHuge = jpeg.substr(0, 600);
    const std::size_t frame = declaresHuge.find("\xff\xc2");  // progressive
    ASSERT_NE(frame, std::string::npos);
    declaresHuge.replace(frame + 5, 4, "\x3e\x80\x3e\x80");
    const struct {
        const char* name;
        std::string bytes;
    } cut[] = {
        {"cut.bmp", bmp.substr(0, bmp.size() - 1000)},
        {"cut.JPG", jpeg.substr(0, jpeg.size() / 2)},
        {"cut.png", png.substr(0, png.size() / 2)},
        {"huge.jpg", declaresHuge},
    };
    for (const auto& c : cut) {
        ASSERT_TRUE(test::writeTextFile(dir.file(c.name), c.bytes));
        Load load(dir.file(c.name));
        EXPECT_FALSE(load.ok) << c.name;
        EXPECT_EQ(load.ctx.errorText, loadError(dir.file(c.name), kDamagedReason)) << c.name;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << c.name;
    }

    ASSERT_TRUE(test::writeTextFile(dir.file("trailing.jpg"), jpeg + "\xff\xd8 and some bytes after the picture"));
    Load trailing(dir.file("trailing.jpg"));
    ASSERT_TRUE(trailing.ok) << trailing.ctx.errorText;
    Load original(testDataPath("photo_landscape_moraine_lake.jpg"));
    ASSERT_TRUE(original.ok);
    EXPECT_TRUE(test::samePixels(*trailing.pair.image8, *original.pair.image8));
}

TEST(DecodeDispatch, EveryPictureOfTheTestMaterialLoads)
{
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testDataPath(""))) {
        const std::string name = entry.path().filename().string();
        // Broken and too small files fail on purpose; the rest is text.
        if (name.starts_with("bad_") || name.starts_with("edge_") || name == "README.md" || name == "SHA256SUMS")
            continue;
        Load load(entry.path().string());
        EXPECT_TRUE(load.ok) << name << ": " << load.ctx.errorText;
        EXPECT_EQ(load.ctx.errorText, "") << name;
        ++pictures;
    }
    EXPECT_GE(pictures, 20);
}

// Anything but a plain file with something in it is refused before a decoder
// opens it (a pipe would block each of them), with the reason, whatever the
// extension.
TEST(DecodeDispatch, WhatIsNoPlainFileIsRefusedAtOnceWithTheReason)
{
    test::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.jpg"));
    std::filesystem::create_symlink("loop2.tif", dir.file("loop1.tif"));
    std::filesystem::create_symlink("loop1.tif", dir.file("loop2.tif"));
    ASSERT_TRUE(test::writeTextFile(dir.file("empty.crw"), ""));
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("socket.bmp");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const struct {
        std::string path;
        int error;
    } cases[] = {
        {dir.file("missing.jpg"), ENOENT},         {dir.file("missing.png"), ENOENT},
        {dir.file("pipe.png"), kErrorNotRegularFile}, {socketPath, kErrorNotRegularFile},
        {dir.file("folder.jpg"), EISDIR},          {dir.file("loop1.tif"), ELOOP},
        {dir.file("empty.crw"), kErrorEmptyFile},
    };
    for (const auto& c : cases) {
        Load load(c.path);
        EXPECT_FALSE(load.ok) << c.path;
        EXPECT_EQ(load.ctx.errorText, loadError(c.path, failureReason(c.error))) << c.path;
    }
    ::close(socketFd);
}

TEST(DecodeDispatch, PhotosAreTurnedAsTheirOrientationSays)
{
    Load load(testDataPath("photo_orientation6_backlit_person.jpg"));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.ctx.decodedWidth, 1200);
    EXPECT_EQ(load.ctx.decodedHeight, 1800);
    EXPECT_EQ(load.pair.image16->width(), 1200);
}

TEST(DecodeDispatch, ProgressStaysInsideTheFilesRangeAndTheStatusShowsThePath)
{
    const std::string tiff = testDataPath("tiff16_d30_linear_rgb_planar.tif");
    Load reader(tiff, {20, 60});
    ASSERT_TRUE(reader.ok);
    EXPECT_EQ(reader.ctx.percent.load(), 20 + 99 * 40 / 100);  // the last row's share
    EXPECT_EQ(reader.ctx.statusText.get(), tiff);
    Load codec(testDataPath("bmp24_moraine_lake_640x480.bmp"), {20, 60});
    EXPECT_EQ(codec.ctx.percent.load(), 60);
}

TEST(DecodeDispatch, AnAbortEndsEveryDecoderWithoutText)
{
    for (const char* name : {"tiff16_d30_linear_gray.tif", "photo_landscape_moraine_lake.jpg", "raw_kodak_dc50.kdc"}) {
        Load load(testDataPath(name), {}, true);
        EXPECT_FALSE(load.ok) << name;
        EXPECT_EQ(load.ctx.errorText, "") << name;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << name;
    }
}

}  // namespace
}  // namespace qv
