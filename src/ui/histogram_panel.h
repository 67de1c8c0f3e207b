#pragma once

#include <QImage>
#include <QSize>

namespace qv {

struct HistogramPlot;

// The 272 x 136 histogram picture: light grey, the red, green and blue bars
// in quarter-opaque pens under the opaque grey bars of the combined
// histogram, the channel outlines, and dashed grid lines at the quarters.
QImage renderHistogram(const HistogramPlot& plot);

// The picture stretched over the panel, pixels repeated (nearest neighbour).
QImage stretchHistogram(const QImage& histogram, QSize panel);

}  // namespace qv
