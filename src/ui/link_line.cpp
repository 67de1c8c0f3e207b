#include "ui/link_line.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qv {

CLinkLine::CLinkLine(QWidget* parent)
    : QWidget(parent), opener_([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    // In a layout the line is as wide as its text, so that only the text is clickable.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

CLinkLine::CLinkLine(const QString& text, const QString& target, QWidget* parent) : CLinkLine(parent)
{
    text_ = text;
    // A line made from its text alone leads where its text says.
    setTarget(target.isEmpty() ? text : target);
}

void CLinkLine::setTarget(const QString& target)
{
    target_ = target;
    fitToText();
    update();
}

void CLinkLine::setText(const QString& text)
{
    text_ = text;
    fitToText();
    update();
}

void CLinkLine::setNormalColor(const QColor& color)
{
    normalColor_ = color;
    update();
}

void CLinkLine::setVisitedColor(const QColor& color)
{
    visitedColor_ = color;
    update();
}

void CLinkLine::setHoverColor(const QColor& color)
{
    hoverColor_ = color;
    update();
}

void CLinkLine::setVisited(bool visited)
{
    visited_ = visited;
    update();
}

void CLinkLine::setAutoSize(bool on)
{
    autoSize_ = on;
    fitToText();
}

void CLinkLine::setAlignment(Qt::Alignment alignment)
{
    alignment_ = alignment;
    update();
}

void CLinkLine::setBackgroundColor(const QColor& color)
{
    backgroundColor_ = color;
    update();
}

void CLinkLine::setTransparent(bool transparent)
{
    transparent_ = transparent;
    update();
}

void CLinkLine::setOpener(Opener opener)
{
    opener_ = std::move(opener);
}

QColor CLinkLine::textColor() const
{
    if (hovering_)
        return hoverColor_.isValid() ? hoverColor_ : palette().color(QPalette::Highlight);
    return visited_ ? visitedColor_ : normalColor_;
}

QSize CLinkLine::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return QSize(metrics.horizontalAdvance(shownText()) + margins.left() + margins.right(),
                 metrics.height() + margins.top() + margins.bottom());
}

void CLinkLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!transparent_)
        painter.fillRect(rect(), backgroundColor_.isValid() ? backgroundColor_ : palette().color(QPalette::Button));
    QFont face = font();
    face.setUnderline(hovering_);
    painter.setFont(face);
    painter.setPen(textColor());
    painter.drawText(contentsRect(), int(alignment_) | Qt::TextSingleLine, shownText());
}

void CLinkLine::enterEvent(QEnterEvent*)
{
    setHovering(true);
}

void CLinkLine::leaveEvent(QEvent*)
{
    setHovering(false);
}

void CLinkLine::mouseMoveEvent(QMouseEvent* event)
{
    // After a click the line is plain again until the pointer moves.
    setHovering(rect().contains(event->position().toPoint()));
}

void CLinkLine::mousePressEvent(QMouseEvent* event)
{
    // The click is the line's own: it does not reach the window beneath.
    event->accept();
}

void CLinkLine::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    setHovering(false);
    if (opener_ && !target_.isEmpty())
        opener_(QUrl::fromUserInput(target_));
}

void CLinkLine::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        fitToText();
    QWidget::changeEvent(event);
}

void CLinkLine::setHovering(bool hovering)
{
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    update();
}

void CLinkLine::fitToText()
{
    updateGeometry();
    if (!autoSize_)
        return;
    const QSize size = sizeHint();
    const QRect old = geometry();
    int x = old.x();
    if (alignment_ & Qt::AlignRight)
        x = old.right() + 1 - size.width();
    else if (alignment_ & Qt::AlignHCenter)
        x = old.x() + (old.width() - size.width()) / 2;
    const int y = (alignment_ & Qt::AlignVCenter) ? old.y() + (old.height() - size.height()) / 2 : old.y();
    setGeometry(x, y, size.width(), size.height());
}

}  // namespace qv
