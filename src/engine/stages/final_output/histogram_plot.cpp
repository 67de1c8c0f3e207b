#include "engine/stages/final_output/histogram_plot.h"

#include <algorithm>

#include "engine/stages/final_output/histograms.h"

namespace qv {

namespace {

int barHeight(double value) { return static_cast<int>(std::min<double>(value, HistogramLayout::kTallest)); }

void plotChannel(const std::array<uint32_t, 256>& bins, std::array<int, 256>& heights)
{
    std::transform(bins.begin(), bins.end(), heights.begin(), [](uint32_t bin) { return barHeight(bin); });
}

}  // namespace

HistogramPlot histogramPlot(const Histograms& h)
{
    HistogramPlot plot;
    plotChannel(h.red, plot.red);
    plotChannel(h.green, plot.green);
    plotChannel(h.blue, plot.blue);

    // The fullest combined bin reads 100, computed in single precision.
    const uint32_t fullest = *std::max_element(h.combined.begin(), h.combined.end());
    const float x = static_cast<float>(fullest) / 100;
    for (int i = 0; i < 256; ++i)
        plot.combined[i] = barHeight(x > 0 ? static_cast<uint32_t>(static_cast<float>(h.combined[i]) / x) : h.combined[i]);
    return plot;
}

std::optional<ClippingFigures> clippingFigures(const Histograms& h)
{
    if (h.combinedCount < 1)
        return std::nullopt;
    const double count = h.combinedCount;
    return ClippingFigures{h.combined[0] * 100.0 / count, h.combined[255] * 100.0 / count};
}

}  // namespace qv
