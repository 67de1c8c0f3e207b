#include "engine/kernels/box_windows.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// A column sum holds min(2r + 1, H) rows of values up to 65535; 65537 of
// them are the most that fit in 32 bits.
TEST(BoxWindows, FitOnlyWhileTheTallestColumnSumFitsIn32Bits)
{
    EXPECT_TRUE(BoxWindows::fits(32768, 65537));
    EXPECT_TRUE(BoxWindows::fits(32768, 1000000));  // 65537 rows
    EXPECT_FALSE(BoxWindows::fits(32769, 65538));
    EXPECT_TRUE(BoxWindows::fits(32769, 65537));    // clipped to the image
    EXPECT_TRUE(BoxWindows::fits(1000000, 65537));
    EXPECT_FALSE(BoxWindows::fits(1000000, 65538));
}

}  // namespace
}  // namespace qv
