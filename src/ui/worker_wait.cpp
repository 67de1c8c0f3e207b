#include "ui/worker_wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "ui/engine_session.h"
#include "ui/progress_dialog.h"

namespace qv::ui {

namespace {

constexpr int kDialogDelayMs = 2000;
constexpr int kPollMs = 10;

// Swallows the user's input to one window (and what lies in it) while alive.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        // A shortcut goes to its action, not to a widget: held back while
        // the window is the active one.
        case QEvent::Shortcut:
            if (QApplication::activeWindow() != window_)
                return false;
            event->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::Close: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == window_) {
                event->ignore();
                return true;
            }
            return false;
        }
        default: return false;
        }
    }

private:
    QWidget* window_;
};

// Runs the event loop until the thread has ended or `limitMs` have passed
// (no limit when negative).
void runUntilEnded(EngineSession& session, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!session.workerRunning() || (limitMs >= 0 && clock.elapsed() >= limitMs))
            loop.quit();
    });
    poll.start(kPollMs);
    if (session.workerRunning())
        loop.exec();
}

}  // namespace

bool waitForWorkerThread(QWidget* window, EngineSession& session)
{
    InputBlocker blocker(window);
    runUntilEnded(session, kDialogDelayMs);
    if (!session.workerRunning())
        return false;
    CProgressDialog dialog(session, window);
    if (dialog.exec() == QDialog::Accepted)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    session.abortWorker();
    runUntilEnded(session, -1);
    QApplication::restoreOverrideCursor();
    return true;
}

}  // namespace qv::ui
