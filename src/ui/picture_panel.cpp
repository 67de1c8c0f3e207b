#include "ui/picture_panel.h"

#include <QPainter>

namespace qv {

PicturePanel::PicturePanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PicturePanel::setPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

void PicturePanel::clearPicture()
{
    picture_ = QImage();
    update();
}

void PicturePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(0, 0, picture_);
}

}  // namespace qv
