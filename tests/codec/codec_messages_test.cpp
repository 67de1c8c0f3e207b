// The codec keeps the image plugins' complaints about damaged files off the
// terminal and passes every other message on. Its own program, because the
// codec installs its message filter once per process.
#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "codec/codec.h"
#include "codec/codec_runtime.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

namespace qv {
namespace {

std::vector<std::string> received;

void recordMessage(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    received.push_back(std::string(context.category ? context.category : "") + ": " + text.toStdString());
}

Q_LOGGING_CATEGORY(otherCategory, "qv.test.other")

// Runs `work` with the standard error stream sent to a file and returns what
// was written there.
template <class Work>
std::string capturedStderr(const std::string& file, Work work)
{
    std::fflush(stderr);
    const int saved = ::dup(2);
    FILE* sink = std::fopen(file.c_str(), "w");
    ::dup2(::fileno(sink), 2);
    work();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(sink);
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CodecMessages, DamagedFilesLeaveNoTraceOnTheTerminal)
{
    qInstallMessageHandler(recordMessage);
    test::TempDir dir;
    // A PNG cut short in its pixel data.
    const std::string cutPng = dir.file("cut.png");
    {
        std::ifstream in(test::testDataPath("png16_room_backlit_windows.png"), std::ios::binary);
        std::vector<char> head(100000);
        in.read(head.data(), std::streamsize(head.size()));
        std::ofstream(cutPng, std::ios::binary).write(head.data(), in.gcount());
    }
    // A whole PNG whose header says it is 0 pixels wide.
    const std::string badHeaderPng = dir.file("header.png");
    {
        std::ifstream in(test::testDataPath("edge_tiny_15x200.png"), std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        bytes.replace(16, 4, std::string(4, '\0'));
        std::ofstream(badHeaderPng, std::ios::binary) << bytes;
    }
    const std::string printed = capturedStderr(dir.file("stderr.txt"), [&] {
        codec::DecodedImage image;
        EXPECT_EQ(image.load(cutPng).status, codec::Status::Damaged);
        // A truncated JPEG draws a warning from the JPEG plugin, the TIFF
        // files draw warnings and errors from libtiff under the TIFF plugin.
        EXPECT_EQ(image.load(test::testDataPath("bad_truncated.jpg")).status, codec::Status::Damaged);
        EXPECT_FALSE(image.load(test::testDataPath("bad_truncated_16bit.tif")).ok());
        EXPECT_TRUE(image.load(test::testDataPath("tiff8_d30_srgb_lzw.tif")).ok());
        // libpng prints its fatal errors itself ("libpng error: IHDR: CRC error").
        EXPECT_FALSE(image.load(badHeaderPng).ok());
        qCWarning(otherCategory) << "still delivered";
    });
    EXPECT_EQ(printed, "");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], "qv.test.other: still delivered");
}

// What others write while a library's output is kept off the terminal still
// arrives, in order, once the capture ends.
TEST(CodecMessages, OtherOutputPassesTheCaptureInOrder)
{
    test::TempDir dir;
    const std::string printed = capturedStderr(dir.file("stderr.txt"), [] {
        codec::LibraryOutputCapture outer;
        std::fputs("first\n", stderr);
        {
            codec::LibraryOutputCapture inner;
            std::fputs("libpng error: Invalid IHDR data\nsecond\n", stderr);
        }
        std::fputs("libpng warning: iCCP: known incorrect sRGB profile\nthird", stderr);
    });
    EXPECT_EQ(printed, "first\nsecond\nthird");
}

// A program that ends at once while a capture runs (a decode that does not
// stop) gets the stream back first: its last line is not swallowed.
TEST(CodecMessages, EndingAtOnceGivesTheStreamBack)
{
    test::TempDir dir;
    const std::string file = dir.file("stderr.txt");
    std::string beforeTheEnd;  // what the terminal has while the capture still exists
    const std::string printed = capturedStderr(file, [&] {
        codec::LibraryOutputCapture capture;
        std::fputs("libpng error: Not enough image data\nbefore\n", stderr);
        codec::endLibraryOutputCaptureNow();
        std::fputs("last line\n", stderr);
        std::ifstream in(file);
        beforeTheEnd.assign(std::istreambuf_iterator<char>(in), {});
    });
    EXPECT_EQ(beforeTheEnd, "before\nlast line\n");
    EXPECT_EQ(printed, beforeTheEnd);
}

// Damage is seen through the plugins' warnings, which logging rules that
// switch them off must not hide.
TEST(CodecMessages, DamageIsSeenWhateverTheLoggingRules)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false\nqt.*.warning=false"));
    codec::DecodedImage image;
    EXPECT_EQ(image.load(test::testDataPath("bad_truncated.jpg")).status, codec::Status::Damaged);
    EXPECT_TRUE(image.load(test::testDataPath("photo_landscape_moraine_lake.jpg")).ok());
    QLoggingCategory::setFilterRules(QString());
}

}  // namespace
}  // namespace qv
