#include "online/update_check.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

#include "online/update_window.h"
#include "settings/key_value_store.h"

namespace qv {

namespace {

constexpr const char* kLastUpdate = "LastUpdate";

}  // namespace

CUpdateCheck::CUpdateCheck(KeyValueStore& store, const UpdateServer& server, QObject* parent)
    : QObject(parent), store_(store), server_(server)
{
    lastAnnounced_ = QString::fromStdString(store_.readText(kSettingsSection, kLastUpdate).value_or(""));
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] { start(automatic_); });
}

CUpdateCheck::~CUpdateCheck()
{
    // The fetch lives in the thread's event loop and waits on sockets without
    // blocking, so the loop ends at once; the fetch and any request in flight
    // are deleted as the thread finishes.
    thread_.quit();
    thread_.wait();
}

void CUpdateCheck::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest)
{
    firstDelay_ = nextDelay_ = first;
    longestDelay_ = longest;
}

void CUpdateCheck::start(bool automatic)
{
    automatic_ = automatic;
    if (running_)
        return;
    // Asked anew while waiting to repeat a check: the waits start over from
    // the shortest, so that a check from the menu is not left pending for long.
    if (retryTimer_.isActive()) {
        retryTimer_.stop();
        nextDelay_ = firstDelay_;
    }
    if (!fetch_) {
        fetch_ = new UpdateFetch(server_, programVersion());
        fetch_->moveToThread(&thread_);
        connect(&thread_, &QThread::finished, fetch_, &QObject::deleteLater);
        thread_.start(QThread::IdlePriority);
    }
    running_ = true;
    QMetaObject::invokeMethod(fetch_, [this, fetch = fetch_] {
        fetch->run([this](std::optional<UpdateAnswer> answer) {
            QMetaObject::invokeMethod(this, [this, answer] { finish(answer); }, Qt::QueuedConnection);
        });
    }, Qt::QueuedConnection);
}

void CUpdateCheck::finish(std::optional<UpdateAnswer> answer)
{
    running_ = false;
    if (!answer) {
        emit retryScheduled(int(nextDelay_.count()));
        retryTimer_.start(nextDelay_);
        nextDelay_ = std::min(nextDelay_ * 2, longestDelay_);
        return;
    }
    nextDelay_ = firstDelay_;
    announce(*answer);
    emit answered();
}

void CUpdateCheck::announce(const UpdateAnswer& answer)
{
    const ServerReleases& releases = answer.releases;
    if (!releases.newer) {
        if (!automatic_) {
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Quorvelin"),
                                        QStringLiteral("Brak dostępnych aktualizacji"), QMessageBox::Ok,
                                        dialogParent_);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        return;
    }
    if (automatic_ && !releases.critical && releases.releaseText == lastAnnounced_)
        return;
    lastAnnounced_ = releases.releaseText;
    store_.writeText(kSettingsSection, kLastUpdate, lastAnnounced_.toStdString());
    auto* window = new CUpdateWindow(releases.releaseText, releases.critical, answer.changes, dialogParent_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (releases.critical)
        connect(window, &QDialog::finished, this, &CUpdateCheck::endProgram, Qt::QueuedConnection);
    window->open();
}

void CUpdateCheck::endProgram()
{
    if (exitRequest_)
        exitRequest_();
    else if (dialogParent_)
        dialogParent_->window()->close();
    else
        QCoreApplication::quit();
}

}  // namespace qv
