#pragma once

#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace qv {

// The borderless window with the program's picture, name and version and two
// link lines: the splash at start-up, which closes by itself after
// kStartupSeconds, and the about box, which stays until clicked or until
// another window takes the focus. It fades in; a click anywhere closes it.
class CSplashWindow : public QWidget {
public:
    static constexpr int kStartupSeconds = 10;

    // Shows the window centred on `centreOn` (or on the screen) and returns
    // it; an `autoCloseSeconds` of 0 makes it the about box. When the window
    // is open already nothing happens and nothing is returned.
    static CSplashWindow* open(int autoCloseSeconds, QWidget* centreOn = nullptr);
    static bool isOpen() { return !current_.isNull(); }

    // The font of the title and the link lines: Arial where present, else the
    // desktop's sans-serif, 17 pixels from the top of one line to the next.
    static QFont titleFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CSplashWindow(int autoCloseSeconds, QWidget* centreOn);
    void fadeIn();

    static QPointer<CSplashWindow> current_;

    QPixmap picture_;
    QFont font_;
    QTimer fadeTimer_;
    QTimer closeTimer_;
    int opacity_ = 0;  // 0..255
    bool closesOnFocusLoss_;
    bool hadFocus_ = false;
};

}  // namespace qv
