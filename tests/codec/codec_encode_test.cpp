#include "codec/codec_encode.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/decoded_bitmap.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_files.h"
#include "text/failure_text.h"

namespace qv {
namespace {

using codec::FileType;
using codec::Status;
using test::bgrAt;
using test::decodeToBitmap;

// Encodes into a new file at path through a descriptor opened with `access`
// (O_RDWR as the save does, or O_RDONLY for a descriptor that cannot write).
codec::Answer encodeFile(const Bitmap& image, const std::string& path, const codec::EncodeOptions& options,
                         int access = O_RDWR)
{
    const int fd = ::open(path.c_str(), access | O_CREAT | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    const codec::Answer answer = codec::encodeToDescriptor(image, fd, options);
    ::close(fd);
    return answer;
}

class CodecEncode : public ::testing::Test {
protected:
    test::TempDir dir;
    std::unique_ptr<Bitmap> original = decodeToBitmap(test::testDataPath("bmp24_moraine_lake_640x480.bmp"));
};

TEST_F(CodecEncode, OffersTheFourMimeTypes)
{
    for (const char* mime : {"image/jpeg", "image/tiff", "image/png", "image/bmp"})
        EXPECT_TRUE(codec::hasEncoder(mime)) << mime;
    EXPECT_FALSE(codec::hasEncoder("image/x-quorvelin"));
}

TEST_F(CodecEncode, TiffKeepsEveryPixel)
{
    ASSERT_TRUE(original);
    ASSERT_TRUE(encodeFile(*original, dir.file("out.tif"), {FileType::Tiff, 0, "title"}).ok());
    auto reread = decodeToBitmap(dir.file("out.tif"));
    ASSERT_TRUE(reread);
    ASSERT_EQ(reread->width(), 640);
    ASSERT_EQ(reread->height(), 480);
    for (int y = 0; y < 480; ++y)
        ASSERT_EQ(std::memcmp(reread->row(y), original->row(y), 640 * 3), 0) << "row " << y;
}

TEST_F(CodecEncode, JpegFollowsTheQualityAndCarriesTheTitle)
{
    ASSERT_TRUE(original);
    const std::string title = "https://quorvelin.example/";
    ASSERT_TRUE(encodeFile(*original, dir.file("q40.jpg"), {FileType::Jpeg, 40, title}).ok());
    ASSERT_TRUE(encodeFile(*original, dir.file("q100.jpg"), {FileType::Jpeg, 100, title}).ok());
    const std::string low = test::fileBytes(dir.file("q40.jpg"));
    const std::string high = test::fileBytes(dir.file("q100.jpg"));
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

// The TIFF encoder seeks back to its header after the pixel data; a write
// that failed before must still fail the whole encode.
TEST_F(CodecEncode, AFailedWriteIsReportedWithTheSystemsText)
{
    ASSERT_TRUE(original);
    for (FileType type : {FileType::Jpeg, FileType::Tiff}) {
        const char* name = type == FileType::Jpeg ? "jpeg" : "tiff";
        codec::Answer beyondLimit;
        {
            test::FileSizeLimit limit(4096);
            beyondLimit = encodeFile(*original, dir.file(std::string("limited.") + name), {type, 90, "title"});
        }
        EXPECT_EQ(beyondLimit.status, Status::SystemError) << name;
        EXPECT_EQ(beyondLimit.message, failureReason(EFBIG)) << name;

        const codec::Answer readOnly = encodeFile(*original, dir.file(std::string("read-only.") + name), {type, 90, ""}, O_RDONLY);
        EXPECT_EQ(readOnly.status, Status::SystemError) << name;
        EXPECT_EQ(readOnly.message, failureReason(EBADF)) << name;
    }
}

TEST_F(CodecEncode, RefusesA48BitBitmapAndAMissingDescriptor)
{
    ASSERT_TRUE(original);
    EXPECT_EQ(encodeFile(*Bitmap::create(32, 32, PixelFormat::Bgr48), dir.file("deep.jpg"), {}).status, Status::Failed);
    EXPECT_EQ(codec::encodeToDescriptor(*original, -1, {}).status, Status::Failed);
}

}  // namespace
}  // namespace qv
