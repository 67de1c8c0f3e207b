#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

#include "ui/project_addresses.h"
#include "online/version_line.h"

class QNetworkAccessManager;

namespace qv {

// What one update check learnt from the server.
struct UpdateAnswer {
    ServerReleases releases;
    QStringList changes;  // of the newer release; empty when there is none
};

// The user-agent name the update check sends.
inline constexpr const char* kUpdateUserAgent = "HTTP_QUORVELIN";

// Asks the update server for its version resource and, when it names a newer
// release, for the change list. Lives on the update-check thread; run() is
// called there and reports there. Nothing is reported as an answer unless the
// version resource named a release: a network error, an HTTP error, a reply
// without a version line or one larger than a text resource can be all end
// in no answer.
class UpdateFetch : public QObject {
public:
    using Done = std::function<void(std::optional<UpdateAnswer>)>;

    UpdateFetch(const UpdateServer& server, const ReleaseVersion& current);

    void run(Done done);

private:
    using Received = std::function<void(std::optional<QByteArray>)>;
    void get(const QUrl& url, Received received);

    QUrl versionUrl_;
    QUrl changeListUrl_;
    ReleaseVersion current_;
    QNetworkAccessManager* network_ = nullptr;
};

}  // namespace qv
