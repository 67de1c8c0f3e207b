#include "ui/image_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "imaging/bitmap.h"
#include "codec/qimage_view.h"
#include "ui/display_reduction.h"
#include "ui/monitor_profile.h"

namespace qv::ui {

namespace {

constexpr int kPaintRetryMs = 100;

}  // namespace

CImageView::CImageView(QWidget* parent) : QWidget(parent)
{
    // Every paint covers the whole view; an unfinished paint keeps what was shown.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void CImageView::setImages(Bitmap* output, Bitmap* source)
{
    if (output != output_ || source != source_)
        dropScaledCopies();
    output_ = output;
    source_ = source;
    if (imageReady())
        setCursor(Qt::SizeAllCursor);
    else
        unsetCursor();
    update();
}

void CImageView::setMonitorProfile(const MonitorProfile* profile)
{
    if (profile == profile_)
        return;
    profile_ = profile;
    dropScaledCopies();
    update();
}

void CImageView::dropScaledCopies()
{
    scaledZoom_[0] = scaledZoom_[1] = 0;
    scaled_[0] = scaled_[1] = QImage();
}

void CImageView::outputChanged()
{
    scaledZoom_[0] = 0;
    update();
}

void CImageView::resetViewPosition()
{
    scrollX_ = scrollY_ = 0;
    zoom_ = 1.0f;
    showSource_ = false;
}

QSize CImageView::clientPixels() const
{
    const qreal dpr = devicePixelRatioF();
    return {qRound(width() * dpr), qRound(height() * dpr)};
}

ViewGeometry CImageView::geometryNow() const
{
    ViewGeometry g;
    if (output_) {
        g.imageWidth = output_->width();
        g.imageHeight = output_->height();
    }
    const QSize client = clientPixels();
    g.clientWidth = client.width();
    g.clientHeight = client.height();
    g.zoom = zoom_;
    g.scrollX = scrollX_;
    g.scrollY = scrollY_;
    return g;
}

int CImageView::applyZoom(int index, bool keepCentre)
{
    showSource_ = false;
    if (!imageReady()) {
        update();
        return index;
    }
    ViewGeometry g = geometryNow();
    if (index < 0)
        index = fittingZoomIndex(g.imageWidth, g.imageHeight, g.clientWidth, g.clientHeight);
    index = std::min(index, kLastZoomIndex);
    if (keepCentre)
        g.zoomKeepingCentre(kZoomFactors[index]);
    zoom_ = kZoomFactors[index];
    scrollX_ = g.scrollX;
    scrollY_ = g.scrollY;
    update();
    return index;
}

const QImage* CImageView::scaledCopy(Bitmap& bitmap, int slot)
{
    if (scaledZoom_[slot] == zoom_ && !scaled_[slot].isNull())
        return &scaled_[slot];
    BitmapLock lock(bitmap);
    if (!lock.owns())
        return nullptr;
    const ViewGeometry g = geometryNow();
    // At 100 % and above a copy is kept only for the monitor: the whole
    // image, converted once and scaled as it is drawn.
    const QImage picture = zoom_ < 1.0f ? reduceForDisplay(bitmap, g.zoomedWidth(), g.zoomedHeight(),
                                                           profile_ ? QImage() : std::move(scaled_[slot]))
                                        : qimageView(bitmap);
    scaled_[slot] = profile_ ? profile_->convert(picture) : picture;
    scaledZoom_[slot] = zoom_;
    return &scaled_[slot];
}

const QImage* CImageView::reducedOutput()
{
    if (!output_ || zoom_ >= 1.0f || profile_)
        return nullptr;
    return scaledCopy(*output_, 0);
}

void CImageView::retryPaintLater()
{
    // The processing thread holds the output while it writes it.
    if (retryPending_)
        return;
    retryPending_ = true;
    QTimer::singleShot(kPaintRetryMs, this, [this] {
        retryPending_ = false;
        update();
    });
}

void CImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!imageReady()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    ViewGeometry g = geometryNow();
    g.clampScroll();
    scrollX_ = g.scrollX;
    scrollY_ = g.scrollY;

    // Drawn in device pixels: one image pixel per device pixel at 100 %.
    const qreal dpr = devicePixelRatioF();
    painter.scale(1 / dpr, 1 / dpr);
    const ViewRect d = g.destination();
    const QRect destination(d.x, d.y, d.width, d.height);
    // Black wherever the image does not reach: the centred rectangle can be
    // a pixel wider or higher than the zoomed image.
    QRegion borders(QRect(0, 0, g.clientWidth, g.clientHeight));
    borders -= QRect(d.x, d.y, std::min(d.width, g.zoomedWidth()), std::min(d.height, g.zoomedHeight()));
    for (const QRect& r : borders)
        painter.fillRect(r, Qt::black);

    const bool useSource = showSource_ && !dragging_ && source_;
    Bitmap& bitmap = useSource ? *source_ : *output_;
    const QImage* copy = nullptr;
    if (g.zoom < 1.0f || profile_) {
        copy = scaledCopy(bitmap, useSource ? 1 : 0);
        if (!copy) {
            retryPaintLater();
            return;
        }
    }
    if (g.zoom < 1.0f) {
        painter.drawImage(destination.topLeft(), *copy, QRect(g.scrollX, g.scrollY, d.width, d.height));
        return;
    }
    double x, y, w, h;
    g.sourceRect(x, y, w, h);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smoothScaling(g.zoom));
    if (copy) {
        painter.drawImage(QRectF(destination), *copy, QRectF(x, y, w, h));
        return;
    }
    BitmapLock lock(bitmap);
    if (!lock.owns()) {
        retryPaintLater();
        return;
    }
    painter.drawImage(QRectF(destination), qimageView(bitmap), QRectF(x, y, w, h));
}

void CImageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (!busy())
            window()->activateWindow();
        showSource_ = false;
        dragArmed_ = true;
    } else if (event->button() == Qt::RightButton && !busy()) {
        showSource_ = true;
        update();
    }
}

void CImageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    if (!dragging_) {
        if (busy() || !imageReady() || !dragArmed_ || (event->buttons() & Qt::RightButton) ||
            !(event->buttons() & Qt::LeftButton))
            return;
        dragging_ = true;
        lastMouse_ = position;
        return;
    }
    const qreal dpr = devicePixelRatioF();
    ViewGeometry g = geometryNow();
    g.scrollX += qRound((lastMouse_.x() - position.x()) * dpr);
    g.scrollY += qRound((lastMouse_.y() - position.y()) * dpr);
    g.clampScroll();
    lastMouse_ = position;
    const int dx = scrollX_ - g.scrollX;
    const int dy = scrollY_ - g.scrollY;
    if (dx == 0 && dy == 0)
        return;
    scrollX_ = g.scrollX;
    scrollY_ = g.scrollY;
    // Moving what is shown and painting only the uncovered strips.
    if (dpr == 1.0 && g.destination() == ViewRect{0, 0, g.clientWidth, g.clientHeight})
        scroll(dx, dy);
    else
        update();
}

void CImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragArmed_ = false;
        dragging_ = false;
    } else if (event->button() == Qt::RightButton && !busy()) {
        showSource_ = false;
        update();
    }
}

void CImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

}  // namespace qv::ui
