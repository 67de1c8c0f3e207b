#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>

namespace qv {

// A release as the update server names it: four one-digit numbers.
using ReleaseVersion = std::array<int, 4>;

// This program's own version.
ReleaseVersion programVersion();

// The four numbers as one: ((a * 10 + b) * 10 + c) * 10 + d.
int versionNumber(const ReleaseVersion& version);

// One line of the server's version resource, e.g. "1.1.3.0 * Nowa wersja":
// the digits at positions 0, 2, 4 and 6 (any other character counts as 0), a
// "*" at position 8 for a critical release, the description from position 10.
struct VersionLine {
    ReleaseVersion version{};
    bool critical = false;
    QString description;
};
VersionLine parseVersionLine(QByteArrayView line);

// How a release is announced: "description version", or the version alone.
QString releaseText(const VersionLine& line);

// What the version resource says about the newest release.
struct ServerReleases {
    bool answered = false;  // a line named a version other than 0.0.0.0
    bool newer = false;     // that version is newer than `current`
    bool critical = false;  // some newer release on the server is critical
    QString releaseText;    // of the last line, when newer
};
// The resource's lines end in CR LF (a bare LF is taken too); empty lines are
// skipped and the last line names the newest release.
ServerReleases readVersionResource(QByteArrayView body, const ReleaseVersion& current);

// The change list: one entry per line, empty lines kept.
QStringList readChangeList(QByteArrayView body);

}  // namespace qv
