#include "online/version_line.h"

#include "ui/status_texts.h"

namespace qv {

namespace {

// Calls `visit` with each line of `body` without its line break.
template <typename Visit>
void forEachLine(QByteArrayView body, Visit visit)
{
    while (!body.isEmpty()) {
        const qsizetype end = body.indexOf('\n');
        QByteArrayView line = end < 0 ? body : body.first(end);
        body = end < 0 ? QByteArrayView() : body.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        visit(line);
    }
}

}  // namespace

ReleaseVersion programVersion()
{
    return {QUORVELIN_VERSION_PARTS};
}

int versionNumber(const ReleaseVersion& version)
{
    return ((version[0] * 10 + version[1]) * 10 + version[2]) * 10 + version[3];
}

VersionLine parseVersionLine(QByteArrayView line)
{
    const auto at = [&](qsizetype i) { return i < line.size() ? line[i] : '\0'; };
    VersionLine parsed;
    for (int i = 0; i < 4; ++i) {
        const char c = at(2 * i);
        parsed.version[i] = c >= '0' && c <= '9' ? c - '0' : 0;
    }
    parsed.critical = at(8) == '*';
    if (line.size() > 10)
        parsed.description = QString::fromLocal8Bit(line.sliced(10)).trimmed();
    return parsed;
}

QString releaseText(const VersionLine& line)
{
    const auto& v = line.version;
    const QString version = QString::fromStdString(ui::versionText(v[0], v[1], v[2], v[3]));
    return line.description.isEmpty() ? version : line.description + u' ' + version;
}

ServerReleases readVersionResource(QByteArrayView body, const ReleaseVersion& current)
{
    const int currentNumber = versionNumber(current);
    bool critical = false;
    VersionLine last;
    forEachLine(body, [&](QByteArrayView text) {
        if (text.isEmpty())
            return;
        last = parseVersionLine(text);
        if (versionNumber(last.version) > currentNumber && last.critical)
            critical = true;
    });
    ServerReleases releases;
    const int number = versionNumber(last.version);
    releases.answered = number != 0;
    releases.newer = number > currentNumber;
    if (releases.newer) {
        releases.critical = critical;
        releases.releaseText = releaseText(last);
    }
    return releases;
}

QStringList readChangeList(QByteArrayView body)
{
    QStringList changes;
    forEachLine(body, [&](QByteArrayView text) { changes.append(QString::fromLocal8Bit(text)); });
    return changes;
}

}  // namespace qv
