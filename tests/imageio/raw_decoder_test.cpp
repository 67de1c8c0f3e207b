#include "imageio/raw_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "imageio/image_io_context.h"
#include "support/pair_checks.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_files.h"
#include "text/failure_text.h"

namespace qv {
namespace {

using test::testDataPath;

struct RawLoad {
    ImageIoContext ctx;
    std::atomic<bool> abort{false};
    SourcePair pair;

    DecodeResult decode(const std::string& path, ProgressRange range = {})
    {
        return decodeRaw(DecodeJob{path, ctx, abort, range}, pair);
    }
};

double meanSample(const Bitmap& b)
{
    double sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int i = 0; i < b.width() * 3; ++i)
            sum += b.row16(y)[i];
    return sum / (double(b.width()) * b.height() * 3);
}

TEST(RawDecoder, DecodesTheCameraFilesAt16Bits)
{
    const struct {
        const char* name;
        int width, height;
    } cases[] = {
        {"raw_canon_eos_d30.crw", 2176, 1448},
        {"raw_kodak_dc50.kdc", 768, 512},
        {"raw_nikon_d500_darkframe_lossy.dng", 600, 400},
    };
    for (const auto& c : cases) {
        RawLoad load;
        const DecodeResult result = load.decode(testDataPath(c.name), {10, 50});
        ASSERT_EQ(result.status, DecodeStatus::Decoded) << c.name << ": " << result.reason;
        EXPECT_EQ(load.ctx.bitDepth, 48) << c.name;
        EXPECT_EQ(load.ctx.decodedWidth, c.width) << c.name;
        EXPECT_EQ(load.ctx.decodedHeight, c.height) << c.name;
        EXPECT_EQ(load.ctx.percent.load(), 50) << c.name;
        EXPECT_TRUE(test::pairIsConsistent(load.pair, 48)) << c.name;
        const double mean = meanSample(*load.pair.image16);
        if (std::string(c.name).ends_with(".dng"))
            EXPECT_LT(mean, 256) << "a dark frame stays dark";
        else
            EXPECT_GT(mean, 4096) << c.name;
    }
}

TEST(RawDecoder, LeavesFilesThatAreNotRawToTheNextDecoder)
{
    test::TempDir dir;
    ASSERT_TRUE(test::writeTextFile(dir.file("short.txt"), "not a picture"));
    ASSERT_TRUE(test::writeTextFile(dir.file("empty"), ""));
    for (const std::string& path : {testDataPath("photo_landscape_moraine_lake.jpg"), testDataPath("tiff8_d30_srgb_lzw.tif"),
                                    testDataPath("bad_text_renamed.png"), dir.file("short.txt"), dir.file("empty")}) {
        RawLoad load;
        const DecodeResult result = load.decode(path);
        EXPECT_EQ(result.status, DecodeStatus::NotThisFormat) << path;
        EXPECT_EQ(result.reason, "") << path;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << path;
    }
}

// Cut files fail as damaged whether LibRaw still knows the camera (KDC), no
// longer recognises the file at all (CRW), or would decode it with its JPEG
// decoder making up the rest (the lossy DNG, cut at 99 %).
TEST(RawDecoder, FilesItCannotOpenOrThatAreCutFailWithTheReason)
{
    test::TempDir dir;
    const struct {
        const char* source;
        double kept;
    } cuts[] = {{"raw_kodak_dc50.kdc", 0.54}, {"raw_canon_eos_d30.crw", 0.3}, {"raw_nikon_d500_darkframe_lossy.dng", 0.99}};
    std::vector<std::pair<std::string, std::string>> cases = {{dir.file("missing.crw"), failureReason(ENOENT)},
                                                              {dir.path().string(), failureReason(EISDIR)}};
    for (const auto& cut : cuts) {
        const std::string path = dir.file(std::string("cut-") + cut.source);
        ASSERT_TRUE(test::copyFile(testDataPath(cut.source), path));
        std::filesystem::resize_file(path, static_cast<uintmax_t>(std::filesystem::file_size(path) * cut.kept));
        cases.emplace_back(path, kDamagedReason);
    }
    for (const auto& [path, reason] : cases) {
        RawLoad load;
        const DecodeResult result = load.decode(path);
        EXPECT_EQ(result.status, DecodeStatus::Failed) << path;
        EXPECT_EQ(result.reason, reason) << path;
        EXPECT_FALSE(load.pair.image8 || load.pair.image16) << path;
    }
}

TEST(RawDecoder, EachRawOptionReachesTheLibrary)
{
    const std::string kdc = testDataPath("raw_kodak_dc50.kdc");
    auto decodeWith = [&](void (*set)(AppConfig&)) {
        RawLoad load;
        load.ctx.config.rawNoiseReduction = false;
        load.ctx.config.rawAutoWhiteBalance = false;
        load.ctx.config.lightRecovery = false;
        set(load.ctx.config);
        EXPECT_EQ(load.decode(kdc).status, DecodeStatus::Decoded);
        return std::move(load.pair.image16);
    };
    const auto base = decodeWith([](AppConfig&) {});
    EXPECT_TRUE(test::samePixels(*base, *decodeWith([](AppConfig&) {})));
    EXPECT_FALSE(test::samePixels(*base, *decodeWith([](AppConfig& c) { c.rawNoiseReduction = true; })));
    EXPECT_FALSE(test::samePixels(*base, *decodeWith([](AppConfig& c) { c.rawAutoWhiteBalance = true; })));
    EXPECT_FALSE(test::samePixels(*base, *decodeWith([](AppConfig& c) { c.lightRecovery = true; })));
}

TEST(RawDecoder, AnAbortEndsTheDecodeWithoutText)
{
    // The progress callback stops the library at once: the percentage never
    // leaves the start of the range.
    RawLoad before;
    before.abort = true;
    const DecodeResult early = before.decode(testDataPath("raw_kodak_dc50.kdc"), {10, 50});
    EXPECT_EQ(early.status, DecodeStatus::Failed);
    EXPECT_EQ(early.reason, "");
    EXPECT_EQ(before.ctx.percent.load(), 10);

    // Aborted inside LibRaw's processing, once the file is unpacked.
    RawLoad during;
    std::atomic<bool> returned{false};
    std::thread aborter([&] {
        while (during.ctx.percent.load() < 40 && !returned)
            std::this_thread::yield();
        during.abort = true;
    });
    const DecodeResult result = during.decode(testDataPath("raw_canon_eos_d30.crw"));
    returned = true;
    aborter.join();
    EXPECT_EQ(result.status, DecodeStatus::Failed);
    EXPECT_EQ(result.reason, "");
    EXPECT_LT(during.ctx.percent.load(), 70) << "the library finished its processing";
    EXPECT_FALSE(during.pair.image8 || during.pair.image16);
}

}  // namespace
}  // namespace qv
