#include "imageio/merge_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/pipeline/pipeline_state.h"
#include "imageio/decode_file.h"
#include "imageio/exposure_merge.h"
#include "imageio/image_io_context.h"
#include "support/pair_checks.h"
#include "support/test_data.h"
#include "text/failure_text.h"

namespace qv {
namespace {

using test::testDataPath;

const std::vector<std::string> kBracket = {
    testDataPath("bracket_arch_3_2.5s.jpg"), testDataPath("bracket_arch_1_0.033s.jpg"),
    testDataPath("bracket_arch_4_15s.jpg"), testDataPath("bracket_arch_2_0.25s.jpg")};

struct Load {
    ImageIoContext ctx;
    PipelineState state;

    bool merge(const std::vector<std::string>& files) { return mergeExposures(ctx, state, files); }
};

TEST(MergeFiles, DecodesEveryFileAndMergesThemIntoTheSourcePair)
{
    Load load;
    ASSERT_TRUE(load.merge(kBracket)) << load.ctx.errorText;
    ASSERT_TRUE(load.state.source && load.state.working);
    EXPECT_EQ(load.state.working->width(), 1408);
    EXPECT_EQ(load.state.working->height(), 1056);
    EXPECT_EQ(load.ctx.workingWidth.load(), 1408);
    EXPECT_EQ(load.ctx.decodedHeight, 1056);
    EXPECT_EQ(load.ctx.bitDepth, 24);
    EXPECT_EQ(load.ctx.statusText.get(), kMergeStatusText);
    EXPECT_EQ(load.ctx.errorText, "");
    EXPECT_GE(load.ctx.percent.load(), 80);  // four files and the merge: the last fifth
    // The 8-bit picture holds the high bytes of the merged 16-bit one.
    SourcePair result;
    result.image8 = std::move(load.state.source);
    result.image16 = std::move(load.state.working);
    EXPECT_TRUE(test::pairIsConsistent(result, 48));

    // The same as merging the files' decoded pairs directly.
    std::vector<Exposure> exposures(kBracket.size());
    ImageIoContext ctx;
    const std::atomic<bool> abort{false};
    for (std::size_t i = 0; i < kBracket.size(); ++i) {
        ASSERT_TRUE(decodeFile(kBracket[i], ctx, abort, exposures[i]));
        exposures[i].bitDepth = ctx.bitDepth;
    }
    Exposure direct;
    ASSERT_TRUE(mergeDecodedExposures(std::move(exposures), ctx, abort, direct));
    EXPECT_TRUE(test::samePixels(*result.image16, *direct.image16));
}

TEST(MergeFiles, FilesThatDoNotMatchAreRefused)
{
    // The mismatch is found when the second file is decoded: the third (which
    // is missing) is never tried.
    const std::vector<std::vector<std::string>> lists = {
        {kBracket[0], testDataPath("photo_landscape_moraine_lake.jpg"), testDataPath("no_such_file.jpg")},
        // 1000 x 665 both, 48 and 24 bits.
        {testDataPath("tiff16_d30_linear_rgb.tif"), testDataPath("tiff8_d30_srgb_lzw.tif")},
    };
    const std::string reasons[] = {"1920 × 1440 pikseli, 24 bpp zamiast 1408 × 1056 pikseli, 24 bpp",
                                   "1000 × 665 pikseli, 24 bpp zamiast 1000 × 665 pikseli, 48 bpp"};
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::vector<std::string>& files = lists[i];
        Load load;
        EXPECT_FALSE(load.merge(files)) << files[1];
        EXPECT_EQ(load.ctx.errorText, failureLine(kMergeMismatchText, files[1], reasons[i]));
        EXPECT_FALSE(load.state.source || load.state.working);
    }
}

TEST(MergeFiles, AFileThatFailsEndsTheMergeWithItsDecodersAnswer)
{
    Load unknown;
    EXPECT_FALSE(unknown.merge({kBracket[0], testDataPath("bad_text_renamed.png"), kBracket[1]}));
    EXPECT_EQ(unknown.ctx.errorText, failureLine(kUnknownFormatText, testDataPath("bad_text_renamed.png"), {}));
    EXPECT_EQ(unknown.ctx.percent.load(), 0);

    // A missing third file of four is named, and the percentage goes back to 0.
    Load missing;
    EXPECT_FALSE(missing.merge({kBracket[0], kBracket[1], testDataPath("no_such_file.jpg"), kBracket[2]}));
    EXPECT_EQ(missing.ctx.percent.load(), 0);
    EXPECT_EQ(missing.ctx.errorText,
              failureLine(kLoadErrorText, testDataPath("no_such_file.jpg"), failureReason(ENOENT)));
    EXPECT_EQ(missing.ctx.statusText.get(), testDataPath("no_such_file.jpg"));

    // A damaged file keeps whatever its decoder says about it.
    ImageIoContext alone;
    SourcePair pair;
    const std::atomic<bool> abort{false};
    EXPECT_FALSE(decodeFile(testDataPath("bad_truncated_16bit.tif"), alone, abort, pair));
    Load damaged;
    EXPECT_FALSE(damaged.merge({testDataPath("tiff16_d30_linear_rgb.tif"), testDataPath("bad_truncated_16bit.tif")}));
    EXPECT_EQ(damaged.ctx.errorText, alone.errorText);
    EXPECT_FALSE(damaged.state.source || damaged.state.working);
}

TEST(MergeFiles, AnAbortEndsWithoutText)
{
    Load load;
    load.state.abort = true;
    EXPECT_FALSE(load.merge({kBracket[0], kBracket[1]}));
    EXPECT_EQ(load.ctx.errorText, "");
    EXPECT_FALSE(load.state.source || load.state.working);
}

}  // namespace
}  // namespace qv
