#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

namespace qv {

// One line of text that leads somewhere: a web page or a mail address. It
// turns to the hover colour and underlines itself while the pointer is over
// it, shows a hand cursor, and opens its target when clicked. It can size
// itself to its text and draw without a background, over a parent's picture.
class CLinkLine : public QWidget {
public:
    // Opens a target; the desktop's handler (QDesktopServices) by default.
    using Opener = std::function<void(const QUrl&)>;

    explicit CLinkLine(QWidget* parent = nullptr);
    // An empty target is taken from the text, an empty text shows the target.
    CLinkLine(const QString& text, const QString& target, QWidget* parent = nullptr);

    // What a click opens. An empty text shows the target instead.
    void setTarget(const QString& target);
    QString target() const { return target_; }
    void setText(const QString& text);
    QString text() const { return text_; }
    // The text on screen: the text, or the target when the text is empty.
    QString shownText() const { return text_.isEmpty() ? target_ : text_; }

    void setNormalColor(const QColor& color);
    void setVisitedColor(const QColor& color);
    // An invalid colour stands for the palette's highlight colour.
    void setHoverColor(const QColor& color);
    // Only this setter makes a line visited; a click does not.
    void setVisited(bool visited);
    bool isVisited() const { return visited_; }

    // With auto-size on, the line fits itself to its text, keeping the edge
    // its alignment names: the right edge for AlignRight, the centre for
    // AlignHCenter (and vertically for AlignVCenter), else the left and top.
    void setAutoSize(bool on);
    void setAlignment(Qt::Alignment alignment);

    // The fill behind the text: an invalid colour is the palette's button
    // colour. A transparent line fills nothing, so what its parent paints
    // (a picture) shows through.
    void setBackgroundColor(const QColor& color);
    void setTransparent(bool transparent);

    void setOpener(Opener opener);

    bool isHovering() const { return hovering_; }
    // The colour the text is drawn in now.
    QColor textColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);
    void fitToText();

    QString text_;
    QString target_;
    QColor normalColor_{0, 0, 238};
    QColor visitedColor_{85, 26, 139};
    QColor hoverColor_{255, 0, 0};
    QColor backgroundColor_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
    bool visited_ = false;
    bool hovering_ = false;
    bool autoSize_ = false;
    bool transparent_ = false;
    Opener opener_;
};

}  // namespace qv
