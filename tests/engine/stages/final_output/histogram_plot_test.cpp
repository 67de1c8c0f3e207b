#include "engine/stages/final_output/histogram_plot.h"

#include <gtest/gtest.h>

#include "engine/stages/final_output/final_output.h"
#include "engine/stages/final_output/histograms.h"
#include "text/number_text.h"

namespace qv {
namespace {

TEST(HistogramPlot, BlackImageGivesFourFullBarsAtTheFirstBin)
{
    Histograms h;
    h.red[0] = h.green[0] = h.blue[0] = 5000;
    h.redCount = h.greenCount = h.blueCount = 5000;
    normaliseHistograms(h);
    const HistogramPlot plot = histogramPlot(h);
    for (const auto* curve : {&plot.red, &plot.green, &plot.blue, &plot.combined}) {
        EXPECT_EQ((*curve)[0], 100);
        EXPECT_EQ(std::count(curve->begin(), curve->end(), 0), 255);
    }
    const auto figures = clippingFigures(h);
    ASSERT_TRUE(figures);
    EXPECT_EQ(text::clippingText(figures->dark, figures->light), "C:100.0% \xC5\x9A:0.0%");
}

TEST(HistogramPlot, ClippingFiguresNeedPixelsAndTallBinsAreCutAtTheTop)
{
    Histograms h;
    EXPECT_FALSE(clippingFigures(h));
    h.combined[0] = 1;
    h.combined[255] = 2;
    h.combined[9] = 5;
    h.combinedCount = 8;
    const auto shares = clippingFigures(h);
    EXPECT_EQ(text::clippingText(shares->dark, shares->light), "C:12.5% \xC5\x9A:25.0%");
    h.red[3] = 4000000000u;
    EXPECT_EQ(histogramPlot(h).red[3], HistogramLayout::kTallest);
    EXPECT_EQ(histogramPlot(h).combined[9], 100);
}

}  // namespace
}  // namespace qv
