#include "codec/bmp_extent.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace qv::codec {
namespace {

// The start of a BMP file: file header and the first fields of an info
// header of `infoSize` bytes (12 is the old header with 16-bit sizes).
std::vector<uint8_t> bmpHeader(uint32_t pixelOffset, uint32_t infoSize, int32_t width, int32_t height, uint16_t bits,
                               uint32_t compression = 0)
{
    std::vector<uint8_t> h(kBmpHeaderBytes, 0);
    auto put = [&](std::size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            h[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    h[0] = 'B';
    h[1] = 'M';
    put(10, pixelOffset, 4);
    put(14, infoSize, 4);
    if (infoSize == 12) {
        put(18, static_cast<uint32_t>(width), 2);
        put(20, static_cast<uint32_t>(height), 2);
        put(24, bits, 2);
    } else {
        put(18, static_cast<uint32_t>(width), 4);
        put(22, static_cast<uint32_t>(height), 4);
        put(28, bits, 2);
        put(30, compression, 4);
    }
    return h;
}

bool cutShort(const std::vector<uint8_t>& header, uint64_t fileSize)
{
    return bmpRowsCutShort(header.data(), header.size(), fileSize);
}

TEST(BmpExtent, RowsArePaddedToWordsAndEveryByteOfThemIsNeeded)
{
    struct Case {
        std::vector<uint8_t> header;
        uint64_t needed;
    };
    const Case cases[] = {
        {bmpHeader(54, 40, 5, 3, 24), 54 + 16 * 3},           // 15 bytes of pixels padded to 16
        {bmpHeader(54, 40, 5, -3, 24), 54 + 16 * 3},          // rows stored top-down
        {bmpHeader(1078, 40, 33, 7, 8), 1078 + 36 * 7},       // a palette before the rows
        {bmpHeader(62, 40, 33, 2, 1), 62 + 8 * 2},
        {bmpHeader(66, 40, 3, 4, 16, 3), 66 + 8 * 4},         // bit fields
        {bmpHeader(26, 12, 7, 5, 24), 26 + 24 * 5},           // old header
        {bmpHeader(0, 40, 5, 3, 24), 54 + 16 * 3},            // an offset inside the headers
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(cutShort(c.header, c.needed)) << c.needed;
        EXPECT_FALSE(cutShort(c.header, c.needed + 100)) << c.needed;
        EXPECT_TRUE(cutShort(c.header, c.needed - 1)) << c.needed;
        EXPECT_TRUE(cutShort(c.header, 20)) << c.needed;
    }
}

TEST(BmpExtent, AbsurdSizesNeedMoreThanAnyFileWithoutOverflow)
{
    EXPECT_TRUE(cutShort(bmpHeader(54, 40, INT32_MAX, INT32_MIN, 32), UINT64_MAX / 2));
    EXPECT_TRUE(cutShort(bmpHeader(UINT32_MAX, 40, 16, 16, 24), UINT32_MAX));
}

TEST(BmpExtent, WhatItCannotJudgeIsLeftToTheReader)
{
    EXPECT_FALSE(cutShort(bmpHeader(54, 40, 640, 480, 8, 1), 100));  // RLE
    EXPECT_FALSE(cutShort(bmpHeader(54, 40, 0, 480, 24), 10));
    EXPECT_FALSE(cutShort(bmpHeader(54, 24, 640, 480, 24), 100));    // unknown header size
    std::vector<uint8_t> notBmp = bmpHeader(54, 40, 640, 480, 24);
    notBmp[0] = 'P';
    EXPECT_FALSE(cutShort(notBmp, 100));
    const std::vector<uint8_t> full = bmpHeader(54, 40, 640, 480, 24);
    EXPECT_FALSE(bmpRowsCutShort(full.data(), 20, 100)) << "too little of the header";
}

}  // namespace
}  // namespace qv::codec
