#include "imageio/level_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

TEST(LevelMap, MissingRunsAreInterpolatedBetweenNeighbours)
{
    // Runs at the start (from 0), in the middle, and at the end (towards `length`).
    std::vector<double> map = {-1, -1, 4, -1, -1, -1, 7, -1};
    fillMissingLevels(map.data(), 8);
    EXPECT_DOUBLE_EQ(map[0], 0);
    EXPECT_DOUBLE_EQ(map[1], 2);
    EXPECT_DOUBLE_EQ(map[2], 4);
    EXPECT_DOUBLE_EQ(map[3], 4);
    EXPECT_DOUBLE_EQ(map[4], 5);
    EXPECT_DOUBLE_EQ(map[5], 6);
    EXPECT_DOUBLE_EQ(map[6], 7);
    EXPECT_DOUBLE_EQ(map[7], 7);

    // Nothing observed at all: the ramp entry j = j.
    LevelMap empty;
    empty.fill(kMissingLevel);
    fillMissingLevels(empty.data(), kLevelCount);
    for (int j = 0; j < kLevelCount; ++j)
        EXPECT_DOUBLE_EQ(empty[j], j);
}

TEST(LevelMap, ClampLowersEntriesAboveAnyEntryToTheirRight)
{
    std::vector<double> map = {3, 1, 4, 1, 5, 9, 2, 6};
    clampLevelsMonotone(map.data(), 8);
    EXPECT_EQ(map, (std::vector<double>{1, 1, 1, 1, 2, 2, 2, 6}));
}

// The brighter exposure's byte i (of the first `width` bytes of each row)
// is level i; the darker one shows half of it there. The rest of every row
// relates the two differently and must be ignored.
TEST(LevelMap, EstimateFindsTheDarkerLevelFromTheFirstWidthBytesOfEachRow)
{
    const int width = 256, height = 5;
    auto brighter = Bitmap::create(width, height, PixelFormat::Bgr24);
    auto darker = Bitmap::create(width, height, PixelFormat::Bgr24);
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < 3 * width; ++i) {
            brighter->row(y)[i] = static_cast<uint8_t>(i % 256);
            darker->row(y)[i] = i < width ? static_cast<uint8_t>(i / 2) : 0;
        }
    }
    LevelMap map;
    ASSERT_TRUE(estimateLevelMap(*brighter, *darker, width, height, map));
    for (int j = 48; j < kLevelCount - 48; ++j)
        EXPECT_NEAR(map[j], j / 2.0, 0.5) << j;

    darker->tryLock();
    EXPECT_FALSE(estimateLevelMap(*brighter, *darker, width, height, map));
    darker->unlock();
    EXPECT_FALSE(estimateLevelMap(*brighter, *darker, width + 1, height, map));
}

}  // namespace
}  // namespace qv
