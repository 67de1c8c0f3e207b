#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace qv {

// Where the program points its users and asks for updates.

QString projectPage();
QString downloadPage();
// The online manual ("Instrukcja online" of the help menu).
QString manualPage();
// The support address alone, without "mailto:".
QString supportMailAddress();

struct UpdateServer {
    QString host;
    quint16 port = 80;
};

// The environment variable that names another update server (a mirror, or a
// test's own) as "host:port".
inline constexpr const char* kUpdateServerVariable = "QUORVELIN_UPDATE_SERVER";

// "host:port" with a port of 1..65535; nothing for anything else.
std::optional<UpdateServer> parseUpdateServer(QStringView text);
// The server named by QUORVELIN_UPDATE_SERVER, else the project's own. A
// malformed value is reported on standard error and not used.
UpdateServer updateServer();

// The two text resources of the server: release lines and the change list.
QUrl versionResourceUrl(const UpdateServer& server);
QUrl changeListResourceUrl(const UpdateServer& server);

}  // namespace qv
