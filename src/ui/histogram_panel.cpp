#include "ui/histogram_panel.h"

#include <QPainter>

#include "engine/histogram_plot.h"

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

// A vertical line in `column` between two bar tops (or the base row).
void drawUpright(QPainter& painter, int column, int fromRow, int toRow)
{
    painter.drawLine(QLine(column, fromRow, column, toRow));
}

int topOf(int height) { return L::kTopOfZero - height; }

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
    const QPen combinedPen = pen(kCombined);

    QPainter painter(&picture);
    for (int i = 0; i < 256; ++i) {
        const int column = L::kFirstColumn + i;
        for (const Channel& channel : channels) {
            painter.setPen(channel.pen);
            drawUpright(painter, column, L::kBaseRow, topOf(channel.heights[i]));
        }
        painter.setPen(combinedPen);
        drawUpright(painter, column, L::kBaseRow, topOf(plot.combined[i]));
    }
    for (const Channel& channel : channels) {
        painter.setPen(channel.pen);
        for (int i = 1; i < 256; ++i)
            drawUpright(painter, L::kFirstColumn + i, topOf(channel.heights[i - 1]), topOf(channel.heights[i]));
    }
    painter.setPen(pen(kGrid, Qt::DashLine));
    for (int column : L::kGridColumns)
        drawUpright(painter, column, L::kBaseRow, L::kGridTopRow);
    return painter.end() ? picture : QImage();
}

QImage stretchHistogram(const QImage& histogram, QSize panel)
{
    if (histogram.isNull() || panel.isEmpty())
        return {};
    return histogram.scaled(panel, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace qv
