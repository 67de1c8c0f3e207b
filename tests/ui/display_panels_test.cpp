#include "ui/display_panels.h"

#include <gtest/gtest.h>

#include <QSet>
#include <algorithm>

#include "engine/pipeline/pipeline_state.h"
#include "engine/stages/final_output/final_output.h"
#include "engine/stages/final_output/histogram_plot.h"
#include "support/qt_application.h"
#include "ui/display_reduction.h"
#include "ui/histogram_panel.h"
#include "ui/picture_panel.h"
#include "ui/thumbnail_panel.h"

namespace qv {
namespace {

const QRgb kBackground = qRgb(0xDC, 0xDC, 0xDC);

std::unique_ptr<Bitmap> filledBitmap(int w, int h, uint8_t b, uint8_t g, uint8_t r)
{
    auto bitmap = Bitmap::create(w, h, PixelFormat::Bgr24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = bitmap->row(y) + 3 * x;
            p[0] = b, p[1] = g, p[2] = r;
        }
    return bitmap;
}

// Counts `n` pixels of one colour the way the final output does.
void count(Histograms& h, uint8_t r, uint8_t g, uint8_t b, uint32_t n)
{
    h.red[r] += n, h.green[g] += n, h.blue[b] += n;
    h.redCount += n, h.greenCount += n, h.blueCount += n;
}

// The highest row of a column that is not the background, or -1.
int topOfColumn(const QImage& picture, int column)
{
    for (int y = 0; y < picture.height(); ++y)
        if (picture.pixel(column, y) != kBackground)
            return y;
    return -1;
}

class DisplayPanels : public ::testing::Test {
protected:
    DisplayPanels()
    {
        thumbnail.resize(152, 108);
        histogram.resize(152, 72);
    }
    QApplication& app = test::qtApplication();
    PicturePanel thumbnail;
    PicturePanel histogram;
};

TEST_F(DisplayPanels, WithoutAnImageBothAreHiddenAndEmpty)
{
    thumbnail.setPicture(QImage(10, 10, QImage::Format_RGB32));
    histogram.setPicture(QImage(10, 10, QImage::Format_RGB32));
    PipelineState state;
    EXPECT_FALSE(drawPanels(&state, thumbnail, histogram, nullptr));
    EXPECT_FALSE(drawPanels(nullptr, thumbnail, histogram, nullptr));
    EXPECT_TRUE(thumbnail.isHidden());
    EXPECT_TRUE(histogram.isHidden());
    EXPECT_TRUE(thumbnail.picture().isNull());
    EXPECT_TRUE(histogram.picture().isNull());
}

TEST_F(DisplayPanels, DrawnForAReadyImageButNotWhileItsOutputIsHeld)
{
    PipelineState state;
    state.loaded = true;
    state.output = filledBitmap(300, 200, 10, 20, 30);
    count(state.histograms, 30, 20, 10, 60000);
    normaliseHistograms(state.histograms);
    ASSERT_TRUE(drawPanels(&state, thumbnail, histogram, nullptr));
    EXPECT_FALSE(thumbnail.isHidden());
    EXPECT_EQ(thumbnail.picture().size(), QSize(152, 108));
    EXPECT_EQ(histogram.picture().size(), QSize(152, 72));

    const qint64 shown = thumbnail.picture().cacheKey();
    BitmapLock writer(*state.output);
    EXPECT_FALSE(drawPanels(&state, thumbnail, histogram, nullptr));
    EXPECT_EQ(thumbnail.picture().cacheKey(), shown);
}

TEST(ThumbnailPanel, SmallImageKeepsItsSizeAndLargeOneFitsCentredOnBlack)
{
    auto small = filledBitmap(60, 40, 0, 0, 0);
    for (int x = 0; x < 60; ++x)
        small->row(7)[3 * x + 1] = static_cast<uint8_t>(4 * x);
    const QImage shown = renderThumbnail(*small, QSize(152, 108));
    for (int x = 0; x < 60; ++x)
        EXPECT_EQ(shown.pixel(46 + x, 34 + 7), qRgb(0, 4 * x, 0));
    EXPECT_EQ(shown.pixel(45, 41), qRgb(0, 0, 0));

    // 608 x 216 fits as 152 x 54: rows 27 to 80; a constant colour stays exact.
    const QImage wide = renderThumbnail(*filledBitmap(608, 216, 200, 100, 50), QSize(152, 108));
    EXPECT_EQ(wide.pixel(0, 26), qRgb(0, 0, 0));
    EXPECT_EQ(wide.pixel(0, 27), qRgb(50, 100, 200));
    EXPECT_EQ(wide.pixel(151, 80), qRgb(50, 100, 200));
    EXPECT_EQ(wide.pixel(151, 81), qRgb(0, 0, 0));

    // A large one is reduced by area means first: 144 x 108 from column 4, a
    // constant colour exact.
    const QImage large = renderThumbnail(*filledBitmap(1600, 1200, 200, 100, 50), QSize(152, 108));
    EXPECT_EQ(large.pixel(3, 0), qRgb(0, 0, 0));
    EXPECT_EQ(large.pixel(4, 0), qRgb(50, 100, 200));
    EXPECT_EQ(large.pixel(147, 107), qRgb(50, 100, 200));
    EXPECT_EQ(large.pixel(148, 107), qRgb(0, 0, 0));
}

// The view's reduced copy stands in for reading the image only when it is at
// least four times the thumbnail; the picture then differs invisibly.
TEST(ThumbnailPanel, StartsFromALargeEnoughReducedCopyAndIgnoresASmallOne)
{
    auto image = filledBitmap(2000, 1000, 200, 40, 10);
    for (int y = 0; y < 1000; ++y)
        for (int x = 1000; x < 2000; ++x)
            image->row(y)[3 * x + 1] = 220;
    const QSize panel(100, 60);
    const QImage plain = renderThumbnail(*image, panel);
    const QImage viewCopy = ui::reduceForDisplay(*image, 500, 250);
    const QImage fromCopy = renderThumbnail(*image, panel, &viewCopy);
    ASSERT_FALSE(plain.isNull());
    ASSERT_EQ(fromCopy.size(), plain.size());
    int largest = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb a = plain.pixel(x, y), b = fromCopy.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(largest, 6);  // at the edge between halves 180 levels apart

    QImage tooSmall(150, 75, QImage::Format_RGB32);
    tooSmall.fill(Qt::green);
    EXPECT_EQ(renderThumbnail(*image, panel, &tooSmall), plain);
}

TEST(HistogramPanel, BlackImageShowsFourCoincidingBarsAtColumnEight)
{
    test::qtApplication();
    Histograms h;
    count(h, 0, 0, 0, 1000);
    normaliseHistograms(h);
    const QImage picture = renderHistogram(histogramPlot(h));
    ASSERT_EQ(picture.size(), QSize(272, 136));
    // The opaque combined bar, 100 high above row 131, covers the three channel bars.
    for (int y = 31; y <= 132; ++y)
        EXPECT_EQ(picture.pixel(8, y), qRgb(0x64, 0x64, 0x64)) << y;
    EXPECT_EQ(picture.pixel(8, 30), kBackground);
    EXPECT_EQ(picture.pixel(8, 133), kBackground);
    EXPECT_EQ(picture.pixel(7, 100), kBackground);
}

TEST(HistogramPanel, KnownImageDrawsBarsOfItsCounts)
{
    test::qtApplication();
    // 25 pixels of grey 50, 15 of grey 200 and 5 pure red ones: the fullest
    // combined bin (75) reads 100 and every other height follows exactly.
    Histograms h;
    count(h, 50, 50, 50, 25);
    count(h, 200, 200, 200, 15);
    count(h, 255, 0, 0, 5);
    normaliseHistograms(h);
    const HistogramPlot plot = histogramPlot(h);
    EXPECT_EQ(plot.combined[50], 100);
    EXPECT_EQ(plot.red[50], 100);
    EXPECT_EQ(plot.combined[200], 60);
    EXPECT_EQ(plot.blue[200], 60);
    EXPECT_EQ(plot.red[255], 20);
    EXPECT_EQ(plot.green[0], 20);
    EXPECT_EQ(plot.combined[0], 13);
    EXPECT_EQ(plot.combined[255], 6);

    const QImage picture = renderHistogram(plot);
    EXPECT_EQ(topOfColumn(picture, 8 + 50), 31);
    EXPECT_EQ(topOfColumn(picture, 8 + 200), 71);
    EXPECT_EQ(topOfColumn(picture, 8 + 255), 111);
    EXPECT_EQ(topOfColumn(picture, 8 + 100), 131);
    const QColor red = picture.pixelColor(8 + 255, 115);
    EXPECT_GT(red.red(), red.green());
    EXPECT_EQ(red.green(), red.blue());

    // Dashed grid lines from row 4 at the quarters, stretched without blending.
    int dashes = 0;
    for (int y = 4; y < 31; ++y)
        dashes += picture.pixel(72, y) != kBackground;
    EXPECT_GT(dashes, 5);
    EXPECT_LT(dashes, 27);
    EXPECT_EQ(topOfColumn(picture, 136), 4);
    QSet<QRgb> drawn;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            drawn.insert(picture.pixel(x, y));
    const QImage stretched = stretchHistogram(picture, QSize(152, 72));
    for (int y = 0; y < stretched.height(); ++y)
        for (int x = 0; x < stretched.width(); ++x)
            ASSERT_TRUE(drawn.contains(stretched.pixel(x, y))) << x << "," << y;
}

}  // namespace
}  // namespace qv
