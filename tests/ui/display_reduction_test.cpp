#include "ui/display_reduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "imaging/bitmap.h"

namespace qv::ui {
namespace {

TEST(DisplayReduction, EachPixelIsTheMeanOfItsArea)
{
    // 5 x 3 to 2 x 2: column spans 0..1 and 2..4, row spans 0 and 1..2.
    // (Areas up to two rows high are read whole.)
    auto bitmap = Bitmap::create(5, 3, PixelFormat::Bgr24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t* p = bitmap->row(y) + 3 * x;
            p[0] = static_cast<uint8_t>(10 * x);       // blue
            p[1] = static_cast<uint8_t>(100 * y);      // green
            p[2] = static_cast<uint8_t>(x == 4 ? 255 : 0);  // red
        }
    const QImage reduced = reduceForDisplay(*bitmap, 2, 2);
    ASSERT_EQ(reduced.size(), QSize(2, 2));
    EXPECT_EQ(reduced.pixel(0, 0), qRgb(0, 0, 5));
    EXPECT_EQ(reduced.pixel(1, 0), qRgb(85, 0, 30));
    EXPECT_EQ(reduced.pixel(1, 1), qRgb(85, 150, 30));
    // Never enlarged, never empty.
    EXPECT_EQ(reduceForDisplay(*bitmap, 50, 0).size(), QSize(5, 1));
}

TEST(DisplayReduction, TallAreasAreReadOnTwoEvenlySpreadRows)
{
    auto column = Bitmap::create(1, 5, PixelFormat::Bgr24);
    for (int y = 0; y < 5; ++y)
        column->row(y)[1] = static_cast<uint8_t>(10 * y);
    EXPECT_EQ(qGreen(reduceForDisplay(*column, 1, 1).pixel(0, 0)), (10 + 30) / 2);
}

// The reduction written out pixel by pixel: the mean of each area's columns
// on at most two evenly spread rows, by plain division.
QRgb referencePixel(const Bitmap& in, int width, int height, int ox, int oy)
{
    const auto edge = [](int i, int source, int output) { return static_cast<int>(1LL * i * source / output); };
    const int x0 = edge(ox, in.width(), width), x1 = edge(ox + 1, in.width(), width);
    const int y0 = edge(oy, in.height(), height), span = edge(oy + 1, in.height(), height) - y0;
    const int samples = std::min(span, 2);
    int sum[3] = {0, 0, 0};
    for (int k = 0; k < samples; ++k)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += in.row(y0 + (2 * k + 1) * span / (2 * samples))[3 * x + c];
    const int count = samples * (x1 - x0);
    return qRgb(sum[2] / count, sum[1] / count, sum[0] / count);
}

TEST(DisplayReduction, MatchesThePixelByPixelMeans)
{
    // Noise, so that any wrong row, column or divisor shows, and white, the
    // largest sums; sizes with uneven spans, single rows and areas wider
    // than one 16-bit lane sum holds.
    std::mt19937 random(12);
    auto noise = Bitmap::create(301, 97, PixelFormat::Bgr24);
    auto white = Bitmap::create(301, 97, PixelFormat::Bgr24);
    for (int y = 0; y < noise->height(); ++y)
        for (int x = 0; x < 3 * noise->width(); ++x) {
            noise->row(y)[x] = static_cast<uint8_t>(random() % 2 ? 255 : random());
            white->row(y)[x] = 255;
        }
    for (const Bitmap* bitmap : {noise.get(), white.get()})
        for (const QSize size : {QSize(301, 97), QSize(300, 60), QSize(61, 20), QSize(7, 3), QSize(2, 1), QSize(1, 97)}) {
            const QImage reduced = reduceForDisplay(*bitmap, size.width(), size.height());
            ASSERT_EQ(reduced.size(), size);
            for (int oy = 0; oy < size.height(); ++oy)
                for (int ox = 0; ox < size.width(); ++ox)
                    ASSERT_EQ(reduced.pixel(ox, oy), referencePixel(*bitmap, size.width(), size.height(), ox, oy))
                        << size.width() << "x" << size.height() << " at " << ox << "," << oy;
        }
    // Columns too wide for the reciprocal are divided.
    auto wide = Bitmap::create(600001, 1, PixelFormat::Bgr24);
    for (int x = 0; x < 3 * wide->width(); ++x)
        wide->row(0)[x] = static_cast<uint8_t>(random());
    EXPECT_EQ(reduceForDisplay(*wide, 1, 1).pixel(0, 0), referencePixel(*wide, 1, 1, 0, 0));
}

TEST(DisplayReduction, ARecycledImageIsWrittenOverOnlyWhenNoOneElseHoldsIt)
{
    std::mt19937 random(7);
    auto bitmap = Bitmap::create(50, 40, PixelFormat::Bgr24);
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < 3 * bitmap->width(); ++x)
            bitmap->row(y)[x] = static_cast<uint8_t>(random());
    const QImage expected = reduceForDisplay(*bitmap, 13, 9);

    // Every stale pixel is replaced.
    QImage stale(13, 9, QImage::Format_RGB32);
    stale.fill(Qt::magenta);
    const uchar* memory = stale.constBits();
    const QImage reused = reduceForDisplay(*bitmap, 13, 9, std::move(stale));
    EXPECT_EQ(reused.constBits(), memory);
    EXPECT_EQ(reused, expected);

    // A copy someone else holds keeps its pixels when the next result differs.
    for (int y = 0; y < bitmap->height(); ++y)
        for (int x = 0; x < 3 * bitmap->width(); ++x)
            bitmap->row(y)[x] = static_cast<uint8_t>(255 - bitmap->row(y)[x]);
    const QImage inverted = reduceForDisplay(*bitmap, 13, 9);
    ASSERT_NE(inverted, expected);
    EXPECT_EQ(reduceForDisplay(*bitmap, 13, 9, reused), inverted);
    EXPECT_EQ(reused, expected);
}

}  // namespace
}  // namespace qv::ui
