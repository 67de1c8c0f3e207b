#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

#include "ui/project_addresses.h"
#include "online/update_fetch.h"

namespace qv {

class KeyValueStore;

// The background update check and what it shows. The main window starts it
// once when it opens (automatic) and again from "&Sprawdź aktualizacje..."
// (from the menu); the server is asked on a thread of its own and the answer
// is handled here, on the window's thread, as soon as it arrives:
// - no newer release: silence for an automatic check, "Brak dostępnych
//   aktualizacji" for one from the menu;
// - a newer release: the update window, except for an automatic check that
//   finds the release it announced last time (`LastUpdate`) again and that
//   release is not critical;
// - a critical release: after its window closes, the program is asked to end
//   through the exit request, which may be refused (an unsaved result whose
//   question the user cancelled); then the program keeps running.
// A check that gets no answer is repeated after 5 s, then after twice as long
// each time, at most an hour apart, until one is answered; a start while
// waiting asks at once and begins the series again. Destroying the
// check abandons a request in flight at once.
class CUpdateCheck : public QObject {
    Q_OBJECT

public:
    // `store` keeps `LastUpdate` in section "Settings": read here, written
    // whenever an announcement changes it.
    explicit CUpdateCheck(KeyValueStore& store, const UpdateServer& server = updateServer(),
                          QObject* parent = nullptr);
    ~CUpdateCheck() override;

    // Asks the server unless a check is under way; either way the answer is
    // handled as `automatic` says (the last call wins).
    void start(bool automatic);
    bool isRunning() const { return running_; }

    // The window the announcements belong to (window-modal over it).
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    // Ends the program after a critical release the way closing the main
    // window does; returns false when the user chose to keep it open. By
    // default the dialog parent's window is closed, or the application quits.
    void setExitRequest(std::function<bool()> request) { exitRequest_ = std::move(request); }
    // The wait before the first repeat and the longest wait.
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest);

    // The release text last announced (`LastUpdate`).
    QString lastAnnounced() const { return lastAnnounced_; }

signals:
    // A check was answered and its announcement, if any, is up: the window
    // may put its status back to "Gotowe".
    void answered();
    // A check got no answer; the next one starts in `delayMs`.
    void retryScheduled(int delayMs);

private:
    void finish(std::optional<UpdateAnswer> answer);
    void announce(const UpdateAnswer& answer);
    void endProgram();

    KeyValueStore& store_;
    UpdateServer server_;
    QThread thread_;
    UpdateFetch* fetch_ = nullptr;
    QTimer retryTimer_;
    std::chrono::milliseconds firstDelay_{5000};
    std::chrono::milliseconds longestDelay_{3'600'000};
    std::chrono::milliseconds nextDelay_{5000};
    bool automatic_ = true;
    bool running_ = false;
    QString lastAnnounced_;
    QPointer<QWidget> dialogParent_;
    std::function<bool()> exitRequest_;
};

}  // namespace qv
