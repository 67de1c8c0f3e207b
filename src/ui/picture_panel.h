#pragma once

#include <QImage>
#include <QWidget>

namespace qv {

// A small panel that shows a picture rendered for its size, as it was handed
// over, until the next one replaces it.
class PicturePanel : public QWidget {
public:
    explicit PicturePanel(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    void clearPicture();
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace qv
