#include "ui/recent_files.h"

#include <gtest/gtest.h>

#include "settings/key_value_store.h"

namespace qv::ui {
namespace {

TEST(RecentFiles, KeepsEightNewestFirstAndMovesAReopenedFileUp)
{
    RecentFiles recent;
    for (int i = 0; i < 10; ++i)
        recent.add("/zdjecia/" + std::to_string(i) + ".jpg");
    ASSERT_EQ(recent.entries().size(), 8u);
    EXPECT_EQ(recent.entries().front(), "/zdjecia/9.jpg");
    EXPECT_EQ(recent.entries().back(), "/zdjecia/2.jpg");
    recent.add("/zdjecia/5.jpg");
    EXPECT_EQ(recent.entries().front(), "/zdjecia/5.jpg");
    EXPECT_EQ(recent.entries().size(), 8u);

    MemoryStore store;
    recent.write(store);
    RecentFiles read;
    read.read(store);
    EXPECT_EQ(read.entries(), recent.entries());
}

TEST(RecentFiles, EmptyAndRepeatedStoredEntriesAreSkipped)
{
    MemoryStore store;
    store.writeText("Recent File List", "File1", "/a.jpg");
    store.writeText("Recent File List", "File2", "");
    store.writeText("Recent File List", "File3", "/a.jpg");
    store.writeText("Recent File List", "File4", "/b.jpg");
    RecentFiles recent;
    recent.read(store);
    EXPECT_EQ(recent.entries(), (std::vector<std::string>{"/a.jpg", "/b.jpg"}));
}

}  // namespace
}  // namespace qv::ui
