#pragma once

#include <array>
#include <optional>

namespace qv {

struct Histograms;

// Geometry of the histogram panel's picture: 272 x 136 pixels, bin i drawn
// in column i + 8, every bar standing on row 132 and reaching up to row
// 131 - height, with dashed grid lines at the quarters of the value range.
namespace HistogramLayout {
inline constexpr int kWidth = 272;
inline constexpr int kHeight = 136;
inline constexpr int kFirstColumn = 8;
inline constexpr int kBaseRow = 132;
inline constexpr int kTopOfZero = 131;  // the top of a bar of height 0
inline constexpr int kGridTopRow = 4;
inline constexpr std::array<int, 3> kGridColumns{72, 136, 200};
// Bars are cut at the picture's top; heights beyond this never show.
inline constexpr int kTallest = kTopOfZero + 1;
}  // namespace HistogramLayout

// Bar heights per bin, in pixels, for the four curves of the panel.
struct HistogramPlot {
    std::array<int, 256> red{}, green{}, blue{}, combined{};
};

// The heights from the final output's histograms: the channel bins as the
// final output scaled them, the combined bins scaled so that the fullest
// reads 100. All are cut at HistogramLayout::kTallest.
HistogramPlot histogramPlot(const Histograms& histograms);

// Share of the pixels in the darkest and in the brightest bin, in percent.
struct ClippingFigures {
    double dark = 0;
    double light = 0;
};

// Nothing when the histogram counted no pixel.
std::optional<ClippingFigures> clippingFigures(const Histograms& histograms);

}  // namespace qv
