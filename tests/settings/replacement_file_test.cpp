#include "settings/replacement_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "support/temp_dir.h"
#include "support/test_files.h"
#include "text/failure_text.h"

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

    // A pipe, a device, a name longer than the folder allows, a link loop.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReplacementFile(dir.file("pipe")).error(), kErrorNotRegularFile);
    EXPECT_EQ(ReplacementFile("/dev/null").error(), kErrorNotRegularFile);
    EXPECT_EQ(ReplacementFile(dir.file(std::string(256, 'n'))).error(), ENAMETOOLONG);
    fs::create_symlink("loop2", dir.file("loop1"));
    fs::create_symlink("loop1", dir.file("loop2"));
    EXPECT_EQ(ReplacementFile(dir.file("loop1")).error(), ELOOP);

    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"folder", "loop1", "loop2", "pipe"}));
    EXPECT_TRUE(fs::is_empty(dir.file("folder")));
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// An immutable file would refuse the final rename: it is refused at once.
TEST(ReplacementFile, AnImmutableTargetIsRefusedBeforeAnythingIsWritten)
{
    test::TempDir dir;
    const std::string target = dir.file("locked");
    ASSERT_TRUE(test::writeTextFile(target, "kept"));
    const int fd = ::open(target.c_str(), O_RDONLY);
    int flags = 0;
    const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                        ::ioctl(fd, FS_IOC_SETFLAGS, &(flags |= FS_IMMUTABLE_FL)) == 0;
    if (!locked) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make files immutable";
    }
    EXPECT_EQ(ReplacementFile(target).error(), EPERM);
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    EXPECT_EQ(fileText(target), "kept");
    EXPECT_EQ(folderEntries(dir.path()), std::set<std::string>{"locked"});
}

// The target of a link is replaced and the link stays, also when the file it
// names does not exist yet.
TEST(ReplacementFile, LinksAreFollowedToTheFileTheyName)
{
    test::TempDir dir;
    fs::create_directory(dir.file("real"));
    ASSERT_TRUE(test::writeTextFile(dir.file("real/photo.jpg"), "old"));
    fs::create_symlink("real/photo.jpg", dir.file("link.jpg"));
    fs::create_symlink(dir.file("real/new.jpg"), dir.file("dangling.jpg"));
    for (const char* link : {"link.jpg", "dangling.jpg"}) {
        ReplacementFile file(dir.file(link));
        ASSERT_EQ(file.error(), 0) << link;
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir.path() / "real") << link;
        ASSERT_EQ(writeText(file, "new"), 0);
        ASSERT_EQ(file.commit(), 0);
        EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
        EXPECT_EQ(fileText(dir.file(link)), "new") << link;
    }
    EXPECT_EQ(folderEntries(dir.path() / "real"), (std::set<std::string>{"new.jpg", "photo.jpg"}));
}

// What a signal handler calls before the program ends at once.
TEST(ReplacementFile, TemporaryFilesCanBeRemovedAtOnce)
{
    test::TempDir dir;
    ReplacementFile first(dir.file("a")), second(dir.file("b"));
    ASSERT_EQ(folderEntries(dir.path()).size(), 2u);
    removeTemporaryFilesNow();
    EXPECT_TRUE(fs::is_empty(dir.path()));
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
