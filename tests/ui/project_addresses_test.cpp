#include "ui/project_addresses.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QtGlobal>

#include "ui/scrambled_text.h"

namespace qv {
namespace {

TEST(ProjectAddresses, ServerAddressTakesHostAndPort)
{
    const auto server = parseUpdateServer(u"127.0.0.1:8080");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(server->port, 8080);
    EXPECT_EQ(versionResourceUrl(*server).authority(), QStringLiteral("127.0.0.1:8080"));
    EXPECT_EQ(parseUpdateServer(u"mirror.example.org:80")->host, QStringLiteral("mirror.example.org"));
    for (const char16_t* bad : {u"", u"host", u"host:", u":80", u"host:0", u"host:65536", u"host:8o",
                                u"a b:80", u"host/x:80"})
        EXPECT_FALSE(parseUpdateServer(bad)) << QString::fromUtf16(bad).toStdString();
}

TEST(ProjectAddresses, EnvironmentNamesTheServer)
{
    qputenv(kUpdateServerVariable, "localhost:4567");
    const UpdateServer named = updateServer();
    EXPECT_EQ(named.host, QStringLiteral("localhost"));
    EXPECT_EQ(named.port, 4567);

    qputenv(kUpdateServerVariable, "localhost");
    const UpdateServer fallback = updateServer();
    qunsetenv(kUpdateServerVariable);
    EXPECT_EQ(fallback.port, 80);
    EXPECT_EQ(fallback.host, updateServer().host);
    EXPECT_NE(fallback.host, QStringLiteral("localhost"));
}

TEST(ProjectAddresses, AddressesAreNotStoredInPlainText)
{
    EXPECT_EQ(unscrambled(scrambled("Zażółć gęślą jaźń")), QStringLiteral("Zażółć gęślą jaźń"));

    qunsetenv(kUpdateServerVariable);
    QFile program(QStringLiteral("/proc/self/exe"));
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    const QByteArray code = program.readAll();
    const QString addresses[] = {updateServer().host, projectPage(),       downloadPage(),
                                 manualPage(),        supportMailAddress(), versionResourceUrl(updateServer()).path()};
    for (const QString& address : addresses) {
        ASSERT_GT(address.size(), 5);
        EXPECT_FALSE(code.contains(address.toUtf8())) << address.toStdString();
    }
    EXPECT_TRUE(projectPage().startsWith(QStringLiteral("https://")));
    EXPECT_NE(versionResourceUrl(updateServer()), changeListResourceUrl(updateServer()));
}

}  // namespace
}  // namespace qv
