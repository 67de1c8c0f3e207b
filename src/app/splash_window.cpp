#include "app/splash_window.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "ui/link_line.h"
#include "ui/project_addresses.h"
#include "ui/status_texts.h"

// The picture is compiled into a static library, whose resources are
// registered by hand (at global scope, where the resource compiler put them).
static QPixmap loadSplashPicture()
{
    Q_INIT_RESOURCE(splash);
    return QPixmap(QStringLiteral(":/splash.jpg"));
}

namespace qv {

namespace {

constexpr QSize kPictureSize(625, 430);
constexpr int kTextLeft = 198;
constexpr int kTextRightMargin = 20;
constexpr int kLineHeight = 17;
constexpr int kLinkHeight = 18;
constexpr QColor kTitleColor(220, 220, 220);
constexpr QColor kShadowColor(55, 55, 55);
constexpr QColor kLinkColor(120, 170, 255);
constexpr QColor kLinkHoverColor(255, 0, 0);
// The opacity rises by this much every kFadeIntervalMs.
constexpr int kFadeStep = 10;
constexpr int kFadeIntervalMs = 10;

}  // namespace

QPointer<CSplashWindow> CSplashWindow::current_;

CSplashWindow* CSplashWindow::open(int autoCloseSeconds, QWidget* centreOn)
{
    if (current_)
        return nullptr;
    current_ = new CSplashWindow(autoCloseSeconds, centreOn);
    current_->show();
    if (autoCloseSeconds == 0) {
        current_->raise();
        current_->activateWindow();
    }
    return current_;
}

QFont CSplashWindow::titleFont()
{
    QFont font = QFontDatabase::families().contains(QStringLiteral("Arial"))
                     ? QFont(QStringLiteral("Arial"))
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    // Sized like a line of the layout: ascent and descent together fit 17 pixels.
    for (int pixels = kLineHeight; pixels > 8; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= kLineHeight)
            break;
    }
    return font;
}

CSplashWindow::CSplashWindow(int autoCloseSeconds, QWidget* centreOn)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(loadSplashPicture()),
      font_(titleFont()),
      closesOnFocusLoss_(autoCloseSeconds == 0)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating, !closesOnFocusLoss_);
    // The program ends with its main window, even while this one is still up.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Splash"));
    setFixedSize(picture_.isNull() ? kPictureSize : picture_.deviceIndependentSize().toSize());

    const int textWidth = width() - kTextRightMargin - kTextLeft;
    const struct {
        QString text;
        QString target;
        int top;
    } links[] = {
        {QStringLiteral("Kliknij tutaj aby odwiedzić stronę projektu Quorvelin"), projectPage(), 355},
        {QStringLiteral("Pomoc techniczna: ") + supportMailAddress(),
         QStringLiteral("mailto:") + supportMailAddress(), 374},
    };
    for (const auto& link : links) {
        auto* line = new CLinkLine(link.text, link.target, this);
        line->setGeometry(kTextLeft, link.top, textWidth, kLinkHeight);
        line->setFont(font_);
        line->setNormalColor(kLinkColor);
        line->setHoverColor(kLinkHoverColor);
        line->setTransparent(true);
    }

    const QRect area = centreOn ? centreOn->window()->frameGeometry()
                                : (screen() ? screen()->availableGeometry() : QRect(QPoint(), size()));
    move(area.center() - rect().center());

    setWindowOpacity(0.0);
    fadeTimer_.setInterval(kFadeIntervalMs);
    connect(&fadeTimer_, &QTimer::timeout, this, &CSplashWindow::fadeIn);
    fadeTimer_.start();
    if (autoCloseSeconds > 0) {
        closeTimer_.setSingleShot(true);
        connect(&closeTimer_, &QTimer::timeout, this, &QWidget::close);
        closeTimer_.start(autoCloseSeconds * 1000);
    }
}

void CSplashWindow::fadeIn()
{
    opacity_ += kFadeStep;
    if (opacity_ > 245) {
        opacity_ = 255;
        fadeTimer_.stop();
    }
    setWindowOpacity(opacity_ / 255.0);
}

void CSplashWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (picture_.isNull())
        painter.fillRect(rect(), palette().color(QPalette::Button));
    else
        painter.drawPixmap(0, 0, picture_);

    const QString title = QString::fromStdString(ui::titleBase());
    const QRect titleArea(kTextLeft, 315, width() - kTextRightMargin - kTextLeft, 20);
    painter.setFont(font_);
    painter.setPen(kShadowColor);
    painter.drawText(titleArea.translated(1, 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    painter.setPen(kTitleColor);
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
}

void CSplashWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        close();
}

void CSplashWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && closesOnFocusLoss_) {
        if (isActiveWindow())
            hadFocus_ = true;
        else if (hadFocus_)
            close();
    }
    QWidget::changeEvent(event);
}

}  // namespace qv
