#include "ui/display_reduction.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv::ui
