#include "online/update_fetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace qv {

namespace {

// A server that stops sending for this long is given up on.
constexpr int kTransferTimeoutMs = 30'000;
// Both resources are a few lines of text; anything larger is not theirs.
constexpr qint64 kLargestResource = 1 << 20;

}  // namespace

UpdateFetch::UpdateFetch(const UpdateServer& server, const ReleaseVersion& current)
    : versionUrl_(versionResourceUrl(server)), changeListUrl_(changeListResourceUrl(server)), current_(current)
{
}

void UpdateFetch::run(Done done)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    get(versionUrl_, [this, done](std::optional<QByteArray> body) {
        if (!body)
            return done(std::nullopt);
        UpdateAnswer answer{readVersionResource(*body, current_), {}};
        if (!answer.releases.answered)
            return done(std::nullopt);
        if (!answer.releases.newer)
            return done(answer);
        get(changeListUrl_, [done, answer](std::optional<QByteArray> changes) mutable {
            if (!changes)
                return done(std::nullopt);
            answer.changes = readChangeList(*changes);
            done(answer);
        });
    });
}

void UpdateFetch::get(const QUrl& url, Received received)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUpdateUserAgent));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 receivedBytes, qint64) {
        if (receivedBytes > kLargestResource)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, received] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return received(std::nullopt);
        received(reply->readAll());
    });
}

}  // namespace qv
