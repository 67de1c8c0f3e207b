#include "imageio/save_image.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <vector>

#include <tiffio.h>

#include "engine/pipeline/pipeline_state.h"
#include "engine/pipeline/scratch_plan.h"
#include "imageio/image_io_context.h"
#include "imageio/resample.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "text/failure_text.h"
#include "text/status_codes.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string writeError(const std::string& path, const std::string& reason)
{
    return failureLine("Błąd zapisu", path, reason);
}
using test::fileBytes;

// A processed image as the final output leaves it: the 48-bit result buffer
// (red, green, blue) with smooth ramps and a soft texture, and the output
// bitmap holding its high bytes (blue, green, red).
std::unique_ptr<PipelineState> processedImage(int width, int height)
{
    auto state = std::make_unique<PipelineState>();
    state->width = width;
    state->height = height;
    state->output = Bitmap::create(width, height, PixelFormat::Bgr24);
    if (!state->output || !state->pairs.allocate(state->pixelCount() * 8))
        return nullptr;
    uint16_t* rgb = resultBuffer(*state).data();
    for (int y = 0; y < height; ++y) {
        uint8_t* bgr = state->output->row(y);
        for (int x = 0; x < width; ++x, rgb += 3, bgr += 3) {
            rgb[0] = static_cast<uint16_t>(x * 65535LL / (width - 1));
            rgb[1] = static_cast<uint16_t>(y * 65535LL / (height - 1));
            rgb[2] = static_cast<uint16_t>(32768 + 24000 * std::sin(x / 5.0) * std::cos(y / 7.0));
            bgr[0] = static_cast<uint8_t>(rgb[2] >> 8);
            bgr[1] = static_cast<uint8_t>(rgb[1] >> 8);
            bgr[2] = static_cast<uint8_t>(rgb[0] >> 8);
        }
    }
    return state;
}

SaveOptions optionsFor(const std::string& path, SaveFileType type)
{
    SaveOptions options;
    options.path = path;
    options.type = type;
    return options;
}

std::set<std::string> folderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// The tag numbers of the first directory of a little-endian TIFF.
std::vector<int> directoryTags(const std::string& bytes)
{
    auto u16 = [&](std::size_t at) { return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8; };
    auto u32 = [&](std::size_t at) { return static_cast<uint32_t>(u16(at) | u16(at + 2) << 16); };
    std::vector<int> tags;
    if (bytes.size() < 8 || bytes.compare(0, 4, "II*\0", 4) != 0)
        return tags;
    const uint32_t directory = u32(4);
    const int count = u16(directory);
    for (int i = 0; i < count; ++i)
        tags.push_back(u16(directory + 2 + 12 * i));
    return tags;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

uint32_t tagValue(TIFF* tiff, uint32_t tag)
{
    uint32_t value32 = 0;
    uint16_t value16 = 0;
    if (tag == TIFFTAG_IMAGEWIDTH || tag == TIFFTAG_IMAGELENGTH || tag == TIFFTAG_ROWSPERSTRIP)
        return TIFFGetField(tiff, tag, &value32) ? value32 : 0xFFFFFFFF;
    return TIFFGetField(tiff, tag, &value16) ? value16 : 0xFFFFFFFF;
}

// Every pixel of a 16-bit RGB TIFF, red, green, blue.
std::vector<uint16_t> tiffPixels(TIFF* tiff, int width, int height)
{
    std::vector<uint16_t> pixels(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        if (TIFFReadScanline(tiff, pixels.data() + static_cast<std::size_t>(y) * width * 3, y, 0) < 0)
            return {};
    return pixels;
}

// A Lanczos-3 reduction of the result buffer or the output bitmap, done
// directly with the resampler.
std::vector<uint16_t> shrunkResult(PipelineState& state, int width, int height)
{
    std::vector<uint16_t> target(static_cast<std::size_t>(width) * height * 3);
    std::vector<float> work(resampleWorkFloats(width, state.height));
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    const ResampleResult result =
        resampleImage(PixelRows<const uint16_t>{resultBuffer(state).data(), state.width, state.height,
                                                static_cast<std::ptrdiff_t>(state.width) * 6},
                      PixelRows<uint16_t>{target.data(), width, height, static_cast<std::ptrdiff_t>(width) * 6},
                      work.data(), ResampleKernel::Lanczos3, {abort, progress, 1});
    EXPECT_EQ(result, ResampleResult::Done);
    return target;
}

std::unique_ptr<Bitmap> shrunkOutput(const Bitmap& output, int width, int height)
{
    auto target = Bitmap::create(width, height, PixelFormat::Bgr24);
    std::vector<float> work(resampleWorkFloats(width, output.height()));
    std::atomic<bool> abort{false};
    std::atomic<int> progress{0};
    const ResampleResult result = resampleImage(
        PixelRows<const uint8_t>{output.bits(), output.width(), output.height(), output.stride()},
        PixelRows<uint8_t>{target->bits(), width, height, target->stride()}, work.data(), ResampleKernel::Lanczos3,
        {abort, progress, 1});
    EXPECT_EQ(result, ResampleResult::Done);
    return target;
}

// The largest and the mean difference between a decoded file and a bitmap.
struct Difference {
    int largest = 0;
    double mean = 0;
};
Difference differenceTo(const QImage& decoded, const Bitmap& expected)
{
    Difference d;
    long long sum = 0;
    for (int y = 0; y < expected.height(); ++y) {
        const uint8_t* want = expected.row(y);
        for (int x = 0; x < expected.width(); ++x, want += 3) {
            const QRgb got = decoded.pixel(x, y);
            for (const int diff : {qBlue(got) - want[0], qGreen(got) - want[1], qRed(got) - want[2]}) {
                d.largest = std::max(d.largest, std::abs(diff));
                sum += std::abs(diff);
            }
        }
    }
    d.mean = static_cast<double>(sum) / (3.0 * expected.width() * expected.height());
    return d;
}

class SaveImage : public ::testing::Test {
protected:
    bool save(const SaveOptions& options) { return saveImage(ctx, *state, options); }

    test::TempDir dir;
    ImageIoContext ctx;
    std::unique_ptr<PipelineState> state = processedImage(800, 600);
};

TEST_F(SaveImage, Tiff16HasOneUncompressedRowPerStripAndOnlyTheLayoutTags)
{
    const std::string path = dir.file("wynik.tif");
    ASSERT_TRUE(save(optionsFor(path, SaveFileType::Tiff16)));
    EXPECT_EQ(ctx.statusCode.load(), StatusCode::Saving);
    EXPECT_EQ(ctx.percent.load(), 599 * 100 / 600);
    EXPECT_EQ(ctx.statusText.get(), path);
    EXPECT_TRUE(ctx.errorText.empty());

    EXPECT_EQ(directoryTags(fileBytes(path)),
              (std::vector<int>{256, 257, 258, 259, 262, 273, 274, 277, 278, 279, 284, 296}));

    TiffFile tiff(TIFFOpen(path.c_str(), "r"));
    ASSERT_TRUE(tiff);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_IMAGEWIDTH), 800u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_IMAGELENGTH), 600u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_BITSPERSAMPLE), 16u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_COMPRESSION), 1u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_PHOTOMETRIC), 2u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_SAMPLESPERPIXEL), 3u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_ROWSPERSTRIP), 1u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_PLANARCONFIG), 1u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_RESOLUTIONUNIT), 1u);
    EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_ORIENTATION), 1u);

    ASSERT_EQ(TIFFNumberOfStrips(tiff.get()), 600u);
    uint64_t* byteCounts = nullptr;
    ASSERT_TRUE(TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &byteCounts));
    for (int s = 0; s < 600; ++s)
        ASSERT_EQ(byteCounts[s], 4800u) << "strip " << s;

    const std::vector<uint16_t> pixels = tiffPixels(tiff.get(), 800, 600);
    ASSERT_EQ(pixels.size(), state->pixelCount() * 3);
    EXPECT_EQ(std::memcmp(pixels.data(), resultBuffer(*state).data(), pixels.size() * 2), 0);
}

TEST_F(SaveImage, Tiff16ScalesTheResultBufferWithLanczos3WhateverTheWorkerCount)
{
    const std::vector<uint16_t> expected = shrunkResult(*state, 333, 251);
    for (int workers : {1, 3, 20}) {
        ctx.workerCount = workers;
        SaveOptions options = optionsFor(dir.file("maly.tif"), SaveFileType::Tiff16);
        options.resize = true;
        options.width = 333;
        options.height = 251;
        ASSERT_TRUE(save(options));
        TiffFile tiff(TIFFOpen(options.path.c_str(), "r"));
        ASSERT_TRUE(tiff);
        EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_IMAGEWIDTH), 333u);
        EXPECT_EQ(tagValue(tiff.get(), TIFFTAG_IMAGELENGTH), 251u);
        EXPECT_EQ(TIFFNumberOfStrips(tiff.get()), 251u);
        EXPECT_EQ(tiffPixels(tiff.get(), 333, 251), expected) << workers << " workers";
    }
}

TEST_F(SaveImage, Tiff8KeepsEveryPixelAndJpegComesClose)
{
    ASSERT_TRUE(save(optionsFor(dir.file("wynik.tif"), SaveFileType::Tiff8)));
    EXPECT_EQ(ctx.percent.load(), 100);
    const QImage tiff(QString::fromStdString(dir.file("wynik.tif")));
    ASSERT_EQ(tiff.size(), QSize(800, 600));
    EXPECT_EQ(differenceTo(tiff, *state->output).largest, 0);

    SaveOptions jpeg = optionsFor(dir.file("wynik.jpg"), SaveFileType::Jpeg);
    jpeg.jpegQuality = 90;
    ASSERT_TRUE(save(jpeg));
    EXPECT_EQ(ctx.percent.load(), 100);
    const QImage decoded(QString::fromStdString(jpeg.path));
    ASSERT_EQ(decoded.size(), QSize(800, 600));
    const Difference d = differenceTo(decoded, *state->output);
    EXPECT_LT(d.mean, 2.0);
    EXPECT_LT(d.largest, 40);
    EXPECT_NE(fileBytes(jpeg.path).find(kSavedImageTitle), std::string::npos);
}

TEST_F(SaveImage, JpegQualityChangesTheFile)
{
    SaveOptions options = optionsFor(dir.file("q.jpg"), SaveFileType::Jpeg);
    std::vector<std::size_t> sizes;
    for (int quality : {40, 70, 100}) {
        options.jpegQuality = quality;
        ASSERT_TRUE(save(options));
        sizes.push_back(fileBytes(options.path).size());
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1] * 2, sizes[2]);
}

TEST_F(SaveImage, ScalesOnlyWhenBothSidesAreSmaller)
{
    struct Case {
        int width, height;
        QSize written;
    };
    const Case cases[] = {
        {800, 300, {800, 600}},  // same width
        {400, 600, {800, 600}},  // same height
        {900, 300, {800, 600}},  // one side larger
        {1600, 1200, {800, 600}},
        {799, 599, {799, 599}},
        {400, 500, {400, 500}},  // the aspect is the caller's choice
    };
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8, SaveFileType::Tiff16}) {
        for (const Case& c : cases) {
            SaveOptions options = optionsFor(dir.file(type == SaveFileType::Jpeg ? "wynik.jpg" : "wynik.tif"), type);
            options.resize = true;
            options.width = c.width;
            options.height = c.height;
            ASSERT_TRUE(save(options));
            EXPECT_EQ(QImage(QString::fromStdString(options.path)).size(), c.written)
                << static_cast<int>(type) << ": " << c.width << "x" << c.height;
        }
        SaveOptions off = optionsFor(dir.file(type == SaveFileType::Jpeg ? "wynik.jpg" : "wynik.tif"), type);
        off.width = 400;
        off.height = 300;
        ASSERT_TRUE(save(off));
        EXPECT_EQ(QImage(QString::fromStdString(off.path)).size(), QSize(800, 600)) << "resize off";
    }
}

TEST_F(SaveImage, ScaledTiff8IsTheLanczos3ReductionOfTheOutputBitmap)
{
    SaveOptions options = optionsFor(dir.file("maly.tif"), SaveFileType::Tiff8);
    options.resize = true;
    options.width = 301;
    options.height = 199;
    ctx.workerCount = 3;
    ASSERT_TRUE(save(options));
    EXPECT_EQ(ctx.percent.load(), 100);
    const QImage written(QString::fromStdString(options.path));
    ASSERT_EQ(written.size(), QSize(301, 199));
    EXPECT_EQ(differenceTo(written, *shrunkOutput(*state->output, 301, 199)).largest, 0);
}

// Each failure, with an existing file at the target, leaves that file as it
// was and the folder as it was.
class FailedSave : public SaveImage {
protected:
    void SetUp() override { ASSERT_TRUE(test::writeTextFile(target, previous)); }

    void expectTargetUntouched()
    {
        EXPECT_EQ(fileBytes(target), previous);
        EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"stary.tif"});
    }

    const std::string target = dir.file("stary.tif");
    const std::string previous = "the previous picture";
};

TEST_F(FailedSave, AbortWhileWritingTiff16)
{
    state->abort = true;
    EXPECT_FALSE(save(optionsFor(target, SaveFileType::Tiff16)));
    EXPECT_EQ(ctx.errorText, "");
    EXPECT_EQ(ctx.percent.load(), 0);
    expectTargetUntouched();
}

TEST_F(FailedSave, AbortWhileScalingTiff16)
{
    state->abort = true;
    SaveOptions options = optionsFor(target, SaveFileType::Tiff16);
    options.resize = true;
    options.width = 400;
    options.height = 300;
    EXPECT_FALSE(save(options));
    EXPECT_EQ(ctx.errorText, "");
    expectTargetUntouched();
}

// JPEG and 8-bit TIFF encoding cannot be stopped half-way, but an abort seen
// once it is done still keeps the result from taking the target's place.
TEST_F(FailedSave, JpegAndTiff8AbortedLeaveNothing)
{
    state->abort = true;
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8}) {
        SaveOptions options = optionsFor(target, type);
        options.resize = true;
        options.width = 400;
        options.height = 300;
        EXPECT_FALSE(save(options));
        EXPECT_EQ(ctx.errorText, "");
        expectTargetUntouched();
    }
}

// A write the system refuses (here beyond the file size limit, as on a full
// disk) names the target and the system's reason, for every type.
TEST_F(FailedSave, WriteFailureGivesTheSystemsReason)
{
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8, SaveFileType::Tiff16}) {
        bool saved = true;
        {
            test::FileSizeLimit limit(4096);
            saved = save(optionsFor(target, type));
        }
        EXPECT_FALSE(saved);
        EXPECT_EQ(ctx.errorText, writeError(target, failureReason(EFBIG))) << static_cast<int>(type);
        expectTargetUntouched();
    }
}

TEST_F(FailedSave, TargetThatIsAFolder)
{
    const std::string folder = dir.file("folder.tif");
    fs::create_directory(folder);
    ASSERT_TRUE(test::writeTextFile(folder + "/plik", "x"));
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8, SaveFileType::Tiff16}) {
        EXPECT_FALSE(save(optionsFor(folder, type)));
        EXPECT_EQ(ctx.errorText, writeError(folder, failureReason(EISDIR)));
        EXPECT_EQ(folderEntries(folder), std::set<std::string>{"plik"});
    }
    fs::remove_all(folder);
    expectTargetUntouched();
}

TEST_F(FailedSave, MissingFolder)
{
    const std::string missing = dir.file("brak/wynik.tif");
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8, SaveFileType::Tiff16}) {
        EXPECT_FALSE(save(optionsFor(missing, type)));
        EXPECT_EQ(ctx.errorText, writeError(missing, failureReason(ENOENT)));
    }
    expectTargetUntouched();
}

TEST_F(SaveImage, ReadOnlyFolder)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    const std::string readOnly = dir.file("tylko_odczyt");
    fs::create_directory(readOnly);
    ::chmod(readOnly.c_str(), 0555);
    for (SaveFileType type : {SaveFileType::Jpeg, SaveFileType::Tiff8, SaveFileType::Tiff16}) {
        EXPECT_FALSE(save(optionsFor(readOnly + "/wynik.tif", type)));
        EXPECT_EQ(ctx.errorText, writeError(readOnly + "/wynik.tif", failureReason(EACCES)));
    }
    EXPECT_TRUE(fs::is_empty(readOnly));
}

TEST_F(FailedSave, RequestsThatCannotBeServed)
{
    auto badType = optionsFor(target, static_cast<SaveFileType>(4));
    auto badQuality = optionsFor(target, SaveFileType::Jpeg);
    badQuality.jpegQuality = 101;
    auto emptyTarget = optionsFor(target, SaveFileType::Tiff16);
    emptyTarget.resize = true;
    for (const SaveOptions& options : {badType, badQuality, emptyTarget}) {
        EXPECT_FALSE(save(options));
        EXPECT_EQ(ctx.errorText, writeError(target, failureReason(EINVAL)));
    }
    state->output.reset();
    EXPECT_FALSE(save(optionsFor(target, SaveFileType::Jpeg)));
    EXPECT_EQ(ctx.errorText, writeError(target, failureReason(EINVAL)));
    expectTargetUntouched();
}

TEST_F(SaveImage, SuccessfulSaveReplacesTheTargetAndKeepsItsPermissions)
{
    const std::string target = dir.file("stary.jpg");
    ASSERT_TRUE(test::writeTextFile(target, "the previous picture"));
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(save(optionsFor(target, SaveFileType::Jpeg)));
    EXPECT_EQ(QImage(QString::fromStdString(target)).size(), QSize(800, 600));
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"stary.jpg"});
}

// A link is followed and stays; what no file can replace is refused untouched.
TEST_F(SaveImage, LinksAreFollowedAndWhatIsNoFileIsRefused)
{
    const std::string real = dir.file("prawdziwy.jpg");
    const std::string link = dir.file("skrot.jpg");
    ASSERT_TRUE(test::writeTextFile(real, "the previous picture"));
    fs::create_symlink("prawdziwy.jpg", link);
    ASSERT_TRUE(save(optionsFor(link, SaveFileType::Jpeg)));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(QImage(QString::fromStdString(real)).size(), QSize(800, 600));

    const std::string pipe = dir.file("potok.tif");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/null")}) {
        EXPECT_FALSE(save(optionsFor(path, SaveFileType::Tiff16)));
        EXPECT_EQ(ctx.errorText, writeError(path, failureReason(kErrorNotRegularFile)));
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"potok.tif", "prawdziwy.jpg", "skrot.jpg"}));
}

TEST_F(SaveImage, ThreadEntryClearsALeftOverAbortAndErrorText)
{
    ctx.pipeline = state.get();
    state->abort = true;
    ctx.errorText = "old";
    EXPECT_EQ(runSaveThread(ctx, optionsFor(dir.file("wynik.tif"), SaveFileType::Tiff16)), ThreadResult::Done);
    EXPECT_EQ(ctx.errorText, "");
    EXPECT_FALSE(state->abort);

    EXPECT_EQ(runSaveThread(ctx, optionsFor(dir.file("brak/wynik.jpg"), SaveFileType::Jpeg)), ThreadResult::Failed);
    EXPECT_EQ(ctx.errorText, writeError(dir.file("brak/wynik.jpg"), failureReason(ENOENT)));

    ctx.pipeline = nullptr;
    EXPECT_EQ(runSaveThread(ctx, optionsFor(dir.file("wynik.tif"), SaveFileType::Tiff16)), ThreadResult::Failed);
}

}  // namespace
}  // namespace qv
