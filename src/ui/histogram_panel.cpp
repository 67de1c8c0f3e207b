#include "ui/histogram_panel.h"

#include <QPainter>

#include "engine/stages/final_output/histogram_plot.h"

namespace qv {

namespace {

namespace L = HistogramLayout;

const QColor kBackground(0xDC, 0xDC, 0xDC);
const QColor kCombined(0x64, 0x64, 0x64);
const QColor kGrid(0xFF, 0xFF, 0xFF, 0x64);

struct Channel {
    const std::array<int, 256>& heights;
    QPen pen;
};

// A one-pixel pen; its square cap makes a line cover both its end pixels.
QPen pen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen p(colour, 1, style);
    p.setCapStyle(Qt::SquareCap);
    return p;
}

int topOf(int height) { return L::kTopOfZero - height; }

// One bar per bin, from the base row up to the bin's height.
QList<QLine> bars(const std::array<int, 256>& heights)
{
    QList<QLine> lines;
    for (int i = 0; i < 256; ++i)
        lines.append(QLine(L::kFirstColumn + i, L::kBaseRow, L::kFirstColumn + i, topOf(heights[i])));
    return lines;
}

// The curve's outline: in each bin's column, from the previous bin's top to its own.
QList<QLine> outline(const std::array<int, 256>& heights)
{
    QList<QLine> lines;
    for (int i = 1; i < 256; ++i)
        lines.append(QLine(L::kFirstColumn + i, topOf(heights[i - 1]), L::kFirstColumn + i, topOf(heights[i])));
    return lines;
}

}  // namespace

QImage renderHistogram(const HistogramPlot& plot)
{
    QImage picture(L::kWidth, L::kHeight, QImage::Format_RGB32);
    if (picture.isNull())
        return {};
    picture.fill(kBackground);

    const Channel channels[] = {{plot.red, pen(QColor(0xFF, 0x20, 0x20, 0x40))},
                                {plot.green, pen(QColor(0x00, 0xFF, 0x00, 0x40))},
                                {plot.blue, pen(QColor(0x20, 0x20, 0xFF, 0x40))}};
    // Each bin keeps to its own column, so drawing curve after curve lays the
    // pens over one another in each column as drawing bin after bin would.
    QPainter painter(&picture);
    for (const Channel& channel : channels) {
        painter.setPen(channel.pen);
        painter.drawLines(bars(channel.heights));
    }
    painter.setPen(pen(kCombined));
    painter.drawLines(bars(plot.combined));
    for (const Channel& channel : channels) {
        painter.setPen(channel.pen);
        painter.drawLines(outline(channel.heights));
    }
    painter.setPen(pen(kGrid, Qt::DashLine));
    for (int column : L::kGridColumns)
        painter.drawLine(QLine(column, L::kBaseRow, column, L::kGridTopRow));
    return painter.end() ? picture : QImage();
}

QImage stretchHistogram(const QImage& histogram, QSize panel)
{
    if (histogram.isNull() || panel.isEmpty())
        return {};
    return histogram.scaled(panel, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace qv
