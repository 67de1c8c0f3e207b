#include "cli/staged_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "settings/replacement_file.h"
#include "support/temp_dir.h"
#include "support/test_files.h"

namespace qv::cli {
namespace {

namespace fs = std::filesystem;

// Writes `text` to `path` the way the save does: into a replacement beside
// it, renamed over it when complete.
bool saveAs(const std::string& path, const std::string& text)
{
    ReplacementFile file(path);
    return file.write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) == 0 && file.commit() == 0;
}

class StagedOutputTest : public ::testing::Test {
protected:
    int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir.path()), {})); }
    test::TempDir dir;
};

TEST_F(StagedOutputTest, TheSavedFileTakesTheTargetsPlaceOnlyOnCommit)
{
    const std::string target = dir.file("out.jpg");
    ASSERT_TRUE(test::writeTextFile(target, "earlier"));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    {
        StagedOutput staged(target);
        ASSERT_EQ(staged.error(), 0);
        ASSERT_TRUE(saveAs(staged.savePath(), "new result"));
        EXPECT_EQ(test::fileBytes(target), "earlier");
        ASSERT_EQ(staged.commit(), 0);
    }
    EXPECT_EQ(test::fileBytes(target), "new result");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // the existing target's permissions are kept
    EXPECT_EQ(entries(), 1);
}

TEST_F(StagedOutputTest, WithoutCommitNothingIsLeftAndTheTargetIsUntouched)
{
    const std::string target = dir.file("out.tif");
    ASSERT_TRUE(test::writeTextFile(target, "earlier"));
    {
        StagedOutput staged(target);
        ASSERT_TRUE(saveAs(staged.savePath(), "dropped"));
    }
    EXPECT_EQ(test::fileBytes(target), "earlier");
    EXPECT_EQ(entries(), 1);
    {
        StagedOutput fresh(dir.file("new.tif"));
        ASSERT_EQ(fresh.error(), 0);
    }
    EXPECT_EQ(entries(), 1);
}

}  // namespace
}  // namespace qv::cli
