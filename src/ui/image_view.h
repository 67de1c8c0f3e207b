#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>

#include "ui/view_geometry.h"

namespace qv {
class Bitmap;
class MonitorProfile;
}

namespace qv::ui {

// Shows the processed image at one of the zoom steps, centred on black when
// smaller than the view; pans by dragging with the left button and shows
// the unprocessed image while the right button is held. 100 % is one image
// pixel per device pixel. The bitmaps are drawn in place, never copied per
// paint; below 100 % one scaled copy per zoom is kept. With a monitor
// profile the copy is converted for the monitor once, and one is kept at
// every zoom.
class CImageView : public QWidget {
    Q_OBJECT
public:
    explicit CImageView(QWidget* parent = nullptr);

    // The bitmaps to show (the pipeline's); nullptr when there is no image.
    void setImages(Bitmap* output, Bitmap* source);
    // The output bitmap has new content.
    void outputChanged();
    // Scroll to the top left, zoom 1.0, the result shown.
    void resetViewPosition();
    // Applies a zoom step; -1 picks the fitting one. Returns the step used
    // (-1 stays -1 while there is no image).
    int applyZoom(int index, bool keepCentre);
    // The monitor's profile to draw with; nullptr draws sRGB unchanged. The
    // profile must outlive its use here.
    void setMonitorProfile(const MonitorProfile* profile);
    // Tells whether processing runs: no panning and no before/after then.
    void setBusyQuery(std::function<bool()> busy) { busy_ = std::move(busy); }

    ViewGeometry geometryNow() const;
    // The whole output reduced to the current zoom, not converted for the
    // monitor: the copy the next paint draws, made now when missing, so that
    // other pictures of the result can start from it. nullptr at 100 % and
    // above, with a monitor profile, or while the output is being written.
    const QImage* reducedOutput();

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool imageReady() const { return output_ != nullptr; }
    bool busy() const { return busy_ && busy_(); }
    QSize clientPixels() const;
    // The image reduced to the current zoom and converted for the monitor,
    // made when first needed.
    const QImage* scaledCopy(Bitmap& bitmap, int slot);
    void dropScaledCopies();
    void retryPaintLater();

    Bitmap* output_ = nullptr;
    Bitmap* source_ = nullptr;
    std::function<bool()> busy_;
    const MonitorProfile* profile_ = nullptr;
    float zoom_ = 1.0f;
    int scrollX_ = 0;
    int scrollY_ = 0;
    bool showSource_ = false;
    bool dragArmed_ = false;
    bool dragging_ = false;
    QPoint lastMouse_;
    bool retryPending_ = false;
    // Reduced copies of the output (0) and the source (1) at scaledZoom_.
    QImage scaled_[2];
    float scaledZoom_[2] = {0, 0};
};

}  // namespace qv::ui
