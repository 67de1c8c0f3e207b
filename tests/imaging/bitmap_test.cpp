#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <thread>

namespace qv {
namespace {

TEST(Bitmap, RowsStartOnFourByteBoundariesAndStartBlack)
{
    // 5 pixels: 15 bytes padded to 16, or 30 bytes padded to 32.
    for (auto [format, stride] : {std::pair{PixelFormat::Bgr24, 16}, std::pair{PixelFormat::Bgr48, 32}}) {
        auto b = Bitmap::create(5, 3, format);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->stride(), stride);
        EXPECT_EQ(b->byteSize(), static_cast<std::size_t>(stride) * 3);
        EXPECT_EQ(b->row(2) - b->row(0), 2 * stride);
        for (std::size_t i = 0; i < b->byteSize(); ++i)
            ASSERT_EQ(b->bits()[i], 0) << i;
    }
    EXPECT_EQ(Bitmap::create(4, 1, PixelFormat::Bgr24)->stride(), 12);
    // A picture of several megabytes, whose memory comes from the system
    // as fresh pages: black too, and writable to its last byte.
    auto large = Bitmap::create(1000, 700, PixelFormat::Bgr48);
    ASSERT_TRUE(large);
    const uint8_t* bits = large->bits();
    EXPECT_TRUE(std::all_of(bits, bits + large->byteSize(), [](uint8_t v) { return v == 0; }));
    large->row(699)[5999] = 1;
    EXPECT_EQ(large->row(699)[5999], 1);
}

TEST(Bitmap, AbsurdSizesAreRefused)
{
    EXPECT_FALSE(Bitmap::create(0, 10, PixelFormat::Bgr24));
    EXPECT_FALSE(Bitmap::create(10, 0, PixelFormat::Bgr48));
    EXPECT_FALSE(Bitmap::create(-5, 10, PixelFormat::Bgr24));
    EXPECT_FALSE(Bitmap::create(INT_MAX, INT_MAX, PixelFormat::Bgr48));
}

TEST(Bitmap, LockIsExclusiveUntilReleased)
{
    auto b = Bitmap::create(2, 2, PixelFormat::Bgr24);
    {
        BitmapLock first(*b);
        ASSERT_TRUE(first.owns());
        BitmapLock second(*b);
        EXPECT_FALSE(second.owns());
        // Nor can another thread take it meanwhile.
        bool taken = true;
        std::thread([&] { taken = b->tryLock(); }).join();
        EXPECT_FALSE(taken);
    }
    EXPECT_FALSE(b->isLocked());
    EXPECT_TRUE(b->tryLock());
    b->unlock();
}

TEST(Bitmap, HighBytesAndWideningAreEachOthersInverse)
{
    auto wide = Bitmap::create(3, 2, PixelFormat::Bgr48);
    auto narrow = Bitmap::create(3, 2, PixelFormat::Bgr24);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            wide->row16(y)[i] = static_cast<uint16_t>(0x0100 * (y * 9 + i) + 0xFF);
    copyHighBytes(*wide, *narrow);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(narrow->row(y)[i], y * 9 + i);
    widenTo16(*narrow, *wide);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(wide->row16(y)[i], 0x0100 * (y * 9 + i));
}

}  // namespace
}  // namespace qv
