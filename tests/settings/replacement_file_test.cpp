#include "settings/replacement_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "support/temp_dir.h"
#include "support/test_files.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> folderEntries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

int writeText(ReplacementFile& file, const std::string& text)
{
    return file.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(ReplacementFile, TargetChangesOnlyOnCommitAndKeepsItsPermissions)
{
    test::TempDir dir;
    const std::string target = dir.file("plik");
    ASSERT_TRUE(test::writeTextFile(target, "old"));
    ::chmod(target.c_str(), 0400);
    {
        ReplacementFile file(target);
        ASSERT_EQ(file.error(), 0);
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir.path());
        ASSERT_EQ(writeText(file, "new content"), 0);
        EXPECT_EQ(fileText(target), "old");
        EXPECT_EQ(folderEntries(dir.path()).size(), 2u);
        ASSERT_EQ(file.commit(), 0);
    }
    EXPECT_EQ(fileText(target), "new content");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read);
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"plik"});
}

TEST(ReplacementFile, UncommittedFileVanishesAndTheTargetStays)
{
    test::TempDir dir;
    const std::string target = dir.file("plik");
    ASSERT_TRUE(test::writeTextFile(target, "old"));
    {
        ReplacementFile file(target);
        ASSERT_EQ(writeText(file, "partial"), 0);
    }
    EXPECT_EQ(fileText(target), "old");
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"plik"});

    {
        ReplacementFile fresh(dir.file("nowy"));
        ASSERT_EQ(fresh.error(), 0);
    }
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"plik"});
}

TEST(ReplacementFile, TargetsThatCannotBeReplacedCreateNothing)
{
    test::TempDir dir;
    fs::create_directory(dir.file("folder"));
    ReplacementFile folder(dir.file("folder"));
    EXPECT_EQ(folder.error(), EISDIR);
    EXPECT_EQ(folder.commit(), EISDIR);

    ReplacementFile missing(dir.file("brak/plik"));
    EXPECT_EQ(missing.error(), ENOENT);
    EXPECT_EQ(writeText(missing, "x"), ENOENT);
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(dir.file("folder")));
}

// The temporary name stays within the system's limit for one name even when
// the target's own name nearly reaches it.
TEST(ReplacementFile, TargetsWithTheLongestNamesCanBeReplaced)
{
    test::TempDir dir;
    for (const std::size_t length : {200u, 240u, 255u}) {
        const std::string target = dir.file(std::string(length - 4, 'z') + ".tif");
        ReplacementFile file(target);
        ASSERT_EQ(file.error(), 0) << length;
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir.path());
        ASSERT_EQ(writeText(file, "content"), 0);
        ASSERT_EQ(file.commit(), 0);
        EXPECT_EQ(fileText(target), "content");
    }
    EXPECT_EQ(folderEntries(dir.path()).size(), 3u);
}

}  // namespace
}  // namespace qv
