#include "ui/project_addresses.h"

#include <QDebug>
#include <QtGlobal>

#include "ui/scrambled_text.h"

namespace qv {

namespace {

constexpr auto kProjectPage = scrambled("https://quorvelin.example/");
constexpr auto kDownloadPage = scrambled("https://quorvelin.example/pobierz");
constexpr auto kManualPage = scrambled("https://quorvelin.example/instrukcja");
constexpr auto kSupportMail = scrambled("pomoc@quorvelin.example");
constexpr auto kServerHost = scrambled("aktualizacje.quorvelin.example");
constexpr auto kVersionPath = scrambled("/aktualizacje/wersja.txt");
constexpr auto kChangeListPath = scrambled("/aktualizacje/zmiany.txt");

QUrl resourceUrl(const UpdateServer& server, const QString& path)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(server.host);
    url.setPort(server.port);
    url.setPath(path);
    return url;
}

}  // namespace

QString projectPage()
{
    return unscrambled(kProjectPage);
}

QString downloadPage()
{
    return unscrambled(kDownloadPage);
}

QString manualPage()
{
    return unscrambled(kManualPage);
}

QString supportMailAddress()
{
    return unscrambled(kSupportMail);
}

std::optional<UpdateServer> parseUpdateServer(QStringView text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    QUrl check;
    check.setHost(text.left(colon).toString(), QUrl::StrictMode);
    if (!ok || port == 0 || port > 65535 || !check.isValid() || check.host().isEmpty())
        return std::nullopt;
    return UpdateServer{check.host(), static_cast<quint16>(port)};
}

UpdateServer updateServer()
{
    const QString named = qEnvironmentVariable(kUpdateServerVariable);
    if (!named.isEmpty()) {
        if (auto server = parseUpdateServer(named))
            return *server;
        qWarning().noquote() << kUpdateServerVariable << "is not host:port, the project's server is used:" << named;
    }
    return UpdateServer{unscrambled(kServerHost), 80};
}

QUrl versionResourceUrl(const UpdateServer& server)
{
    return resourceUrl(server, unscrambled(kVersionPath));
}

QUrl changeListResourceUrl(const UpdateServer& server)
{
    return resourceUrl(server, unscrambled(kChangeListPath));
}

}  // namespace qv
