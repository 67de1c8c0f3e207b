#include "online/version_line.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

const ReleaseVersion kProgram{1, 1, 2, 0};

TEST(VersionLine, ReadsDigitsCriticalMarkAndDescription)
{
    const VersionLine line = parseVersionLine("1.1.3.0 * Poprawki bezpieczeństwa");
    EXPECT_EQ(line.version, (ReleaseVersion{1, 1, 3, 0}));
    EXPECT_TRUE(line.critical);
    EXPECT_EQ(line.description, QStringLiteral("Poprawki bezpieczeństwa"));
    EXPECT_EQ(versionNumber(line.version), 1130);
    EXPECT_EQ(releaseText(line), QStringLiteral("Poprawki bezpieczeństwa 1.1.3"));

    const VersionLine plain = parseVersionLine("2.0.0.7");
    EXPECT_FALSE(plain.critical);
    EXPECT_TRUE(plain.description.isEmpty());
    EXPECT_EQ(releaseText(plain), QStringLiteral("2.0 (build 7)"));
}

TEST(VersionLine, NonDigitsAndMissingPositionsCountAsZero)
{
    EXPECT_EQ(parseVersionLine("x.1.3.0").version, (ReleaseVersion{0, 1, 3, 0}));
    EXPECT_EQ(parseVersionLine("1-1-a-9").version, (ReleaseVersion{1, 1, 0, 9}));
    EXPECT_EQ(parseVersionLine("1.2").version, (ReleaseVersion{1, 2, 0, 0}));
    EXPECT_FALSE(parseVersionLine("1.2.3.4 ").critical);
}

TEST(VersionLine, ProgramVersionIsTheBuiltOne)
{
    EXPECT_EQ(programVersion(), kProgram);
}

TEST(VersionResource, LastNonEmptyLineIsTheNewestRelease)
{
    const ServerReleases releases = readVersionResource("1.1.1.0   Stara\r\n\r\n1.1.3.0   Nowa\r\n\r\n", kProgram);
    EXPECT_TRUE(releases.answered);
    EXPECT_TRUE(releases.newer);
    EXPECT_FALSE(releases.critical);
    EXPECT_EQ(releases.releaseText, QStringLiteral("Nowa 1.1.3"));

    const ServerReleases same = readVersionResource("1.1.2.0\n", kProgram);
    EXPECT_TRUE(same.answered);
    EXPECT_FALSE(same.newer);
}

TEST(VersionResource, AnyNewerCriticalLineMakesTheReleaseCritical)
{
    EXPECT_TRUE(readVersionResource("1.1.3.0 *\r\n1.1.4.0\r\n", kProgram).critical);
    // An old critical release does not concern this program.
    EXPECT_FALSE(readVersionResource("1.1.1.0 *\r\n1.1.4.0\r\n", kProgram).critical);
    // Nor does a critical line when the newest release is not newer.
    const ServerReleases old = readVersionResource("1.1.3.0 *\r\n1.1.0.0\r\n", kProgram);
    EXPECT_FALSE(old.newer);
    EXPECT_FALSE(old.critical);
}

TEST(VersionResource, NoVersionLineIsNoAnswer)
{
    EXPECT_FALSE(readVersionResource("", kProgram).answered);
    EXPECT_FALSE(readVersionResource("\r\n\r\n\n", kProgram).answered);
    EXPECT_FALSE(readVersionResource("<html>", kProgram).answered);
}

TEST(VersionResource, ChangeListKeepsEveryLine)
{
    EXPECT_EQ(readChangeList("Pierwsza\r\n\r\nTrzecia ąę\r\n"),
              (QStringList{QStringLiteral("Pierwsza"), QString(), QStringLiteral("Trzecia ąę")}));
    EXPECT_EQ(readChangeList("bez końca wiersza"), QStringList{QStringLiteral("bez końca wiersza")});
}

}  // namespace
}  // namespace qv
