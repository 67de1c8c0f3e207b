#include "online/update_check.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <map>

#include "online/update_window.h"
#include "settings/key_value_store.h"
#include "support/qt_application.h"

namespace qv {
namespace {

using namespace std::chrono_literals;

// A small HTTP server on 127.0.0.1: answers GET requests for the paths it
// was given, 404 for others, and remembers what it was asked.
class TestServer {
public:
    explicit TestServer(quint16 port = 0)
    {
        server_.listen(QHostAddress::LocalHost, port);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
    }
    quint16 port() const { return server_.serverPort(); }
    UpdateServer address() const { return {QStringLiteral("127.0.0.1"), port()}; }
    void serve(const QUrl& url, const QByteArray& body) { bodies_[url.path()] = body; }
    // Requests are read but never answered.
    void stall() { stalled_ = true; }

    QStringList paths;
    QByteArrayList userAgents;

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArrayList lines = request.split('\n');
        paths.append(QString::fromUtf8(lines[0].split(' ').value(1)));
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:"))
                userAgents.append(line.mid(11).trimmed());
        pending_.erase(socket);
        if (stalled_)
            return;
        const auto found = bodies_.find(paths.last());
        const QByteArray body = found == bodies_.end() ? QByteArray("nie ma") : found->second;
        socket->write((found == bodies_.end() ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n")
                      + QByteArray("Content-Type: text/plain\r\nConnection: close\r\nContent-Length: ")
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QString, QByteArray> bodies_;
    std::map<QTcpSocket*, QByteArray> pending_;
    bool stalled_ = false;
};

// Stands in for the main window: closing it asks about an unsaved result,
// which the user may cancel.
class WindowStandIn : public QWidget {
public:
    int questions = 0;
    bool cancel = false;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++questions;
        event->setAccepted(!cancel);
    }
};

template <typename Dialog>
Dialog* shown()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = dynamic_cast<Dialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

bool showsIcon(CUpdateWindow* window, QStyle::StandardPixmap icon)
{
    const QStyle* style = window->style();
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, window);
    return window->findChild<QLabel*>(QStringLiteral("icon"))->pixmap().toImage()
           == style->standardIcon(icon, nullptr, window).pixmap(size).toImage();
}

QString headingOf(CUpdateWindow* window)
{
    return window->findChild<QLabel*>(QStringLiteral("heading"))->text();
}

void pressOk(QDialog* dialog)
{
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QApplication::processEvents();
}

class UpdateCheckTest : public ::testing::Test {
protected:
    ~UpdateCheckTest() override
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (dynamic_cast<QDialog*>(widget))
                delete widget;
    }

    // A check against the test server, its announcements over `window`.
    std::unique_ptr<CUpdateCheck> makeCheck()
    {
        auto check = std::make_unique<CUpdateCheck>(store, server.address());
        check->setDialogParent(&window);
        return check;
    }
    void serve(const QByteArray& versions, const QByteArray& changes = "Zmiana pierwsza\r\nZmiana druga\r\n")
    {
        server.serve(versionResourceUrl(server.address()), versions);
        server.serve(changeListResourceUrl(server.address()), changes);
    }
    // Runs one check to its answer.
    void runCheck(CUpdateCheck& check, bool automatic)
    {
        QSignalSpy answered(&check, &CUpdateCheck::answered);
        check.start(automatic);
        ASSERT_TRUE(answered.wait(10'000));
    }

    QApplication& app = test::qtApplication();
    TestServer server;
    MemoryStore store;
    WindowStandIn window;
};

TEST_F(UpdateCheckTest, NoUpdateIsSilentAtStartAndToldFromTheMenu)
{
    serve("1.1.2.0   Quorvelin\r\n");
    auto check = makeCheck();
    runCheck(*check, true);
    EXPECT_EQ(shown<QMessageBox>(), nullptr);
    EXPECT_EQ(shown<CUpdateWindow>(), nullptr);

    runCheck(*check, false);
    QMessageBox* box = shown<QMessageBox>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Brak dostępnych aktualizacji"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Quorvelin"));
    EXPECT_EQ(box->icon(), QMessageBox::Information);

    // Only the version resource was asked for, by the program's name.
    EXPECT_EQ(server.paths, QStringList(2, versionResourceUrl(server.address()).path()));
    EXPECT_EQ(server.userAgents, QByteArrayList(2, "HTTP_QUORVELIN"));
    EXPECT_FALSE(store.readText(kSettingsSection, "LastUpdate"));
}

TEST_F(UpdateCheckTest, CriticalReleaseEndsTheProgramAfterOkAndTheSaveQuestion)
{
    serve("1.1.3.0 * Poprawka bezpieczeństwa\r\n", "Naprawiono zapis\r\n\r\nNowe ustawienia\r\n");
    store.writeText(kSettingsSection, "LastUpdate", "Poprawka bezpieczeństwa 1.1.3");
    window.show();
    window.cancel = true;
    auto check = makeCheck();
    runCheck(*check, true);

    CUpdateWindow* announcement = shown<CUpdateWindow>();
    ASSERT_NE(announcement, nullptr) << "critical releases are announced every time";
    EXPECT_EQ(announcement->windowTitle(), QStringLiteral("Aktualizacja"));
    EXPECT_EQ(headingOf(announcement), QStringLiteral("*** Aktualizacja krytyczna! *** Poprawka bezpieczeństwa 1.1.3"));
    EXPECT_TRUE(showsIcon(announcement, QStyle::SP_MessageBoxWarning));
    EXPECT_FALSE(showsIcon(announcement, QStyle::SP_MessageBoxInformation));
    EXPECT_EQ(announcement->findChild<QPlainTextEdit*>(QStringLiteral("changes"))->toPlainText(),
              QStringLiteral("Naprawiono zapis\n\nNowe ustawienia"));
    EXPECT_EQ(window.questions, 0) << "nothing ends before OK";

    // The user cancels the save question: the program keeps running.
    pressOk(announcement);
    EXPECT_EQ(window.questions, 1);
    EXPECT_TRUE(window.isVisible());

    // Next time the question is answered and the window closes.
    window.cancel = false;
    runCheck(*check, false);
    pressOk(shown<CUpdateWindow>());
    EXPECT_EQ(window.questions, 2);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(UpdateCheckTest, SameReleaseIsAnnouncedOnceAtStartButAlwaysFromTheMenu)
{
    serve("1.1.3.0   Nowa wersja\r\n");
    auto check = makeCheck();
    runCheck(*check, true);
    CUpdateWindow* announcement = shown<CUpdateWindow>();
    ASSERT_NE(announcement, nullptr);
    EXPECT_EQ(headingOf(announcement), QStringLiteral("Nowa wersja 1.1.3"));
    EXPECT_TRUE(showsIcon(announcement, QStyle::SP_MessageBoxInformation));
    pressOk(announcement);
    EXPECT_EQ(store.readText(kSettingsSection, "LastUpdate"), "Nowa wersja 1.1.3");
    EXPECT_EQ(window.questions, 0) << "a plain release ends nothing";
    check.reset();

    // The next start of the program.
    check = makeCheck();
    runCheck(*check, true);
    EXPECT_EQ(shown<CUpdateWindow>(), nullptr);
    runCheck(*check, false);
    EXPECT_NE(shown<CUpdateWindow>(), nullptr);
}

TEST_F(UpdateCheckTest, ReleaseTextFromTheServerIsShownAsItStands)
{
    const QString markup = QStringLiteral("<i>Wersja</i>");
    CUpdateWindow announcement(markup, false, {});
    QLabel* heading = announcement.findChild<QLabel*>(QStringLiteral("heading"));
    heading->setWordWrap(false);
    EXPECT_GE(heading->sizeHint().width(), QFontMetrics(heading->font()).horizontalAdvance(markup));
}

TEST_F(UpdateCheckTest, NonDigitVersionCharacterCountsAsZero)
{
    // 1.1.x.9 is 1.1.0.9, older than 1.1.2.
    serve("1.1.x.9   Opis\r\n");
    auto check = makeCheck();
    runCheck(*check, false);
    EXPECT_NE(shown<QMessageBox>(), nullptr);
    delete shown<QMessageBox>();

    // 1.2.x.0 is 1.2, newer.
    serve("1.2.x.0   Opis\r\n");
    runCheck(*check, false);
    ASSERT_NE(shown<CUpdateWindow>(), nullptr);
    EXPECT_EQ(headingOf(shown<CUpdateWindow>()), QStringLiteral("Opis 1.2"));
}

TEST_F(UpdateCheckTest, UnreachableServerIsAskedLessAndLessOftenUntilItAnswers)
{
    quint16 port = 0;
    {
        TestServer closed;
        port = closed.port();
    }
    CUpdateCheck check(store, {QStringLiteral("127.0.0.1"), port});
    check.setRetryDelays(20ms, 80ms);
    QSignalSpy retries(&check, &CUpdateCheck::retryScheduled);
    QSignalSpy answered(&check, &CUpdateCheck::answered);
    check.start(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return retries.size() >= 4; }, 10'000));
    QList<int> delays;
    for (const QList<QVariant>& retry : retries)
        delays.append(retry[0].toInt());
    EXPECT_EQ(delays.mid(0, 4), (QList<int>{20, 40, 80, 80}));

    // The server comes up: the next repeat gets the answer, and then the
    // server is not asked again.
    TestServer late(port);
    ASSERT_EQ(late.port(), port);
    late.serve(versionResourceUrl(late.address()), "1.1.2.0\r\n");
    ASSERT_TRUE(answered.wait(10'000));
    const qsizetype retriesAtAnswer = retries.size();
    QTest::qWait(300);
    EXPECT_EQ(retries.size(), retriesAtAnswer);
    EXPECT_EQ(late.paths.size(), 1);
    EXPECT_EQ(answered.size(), 1);
}

TEST_F(UpdateCheckTest, AskingWhileWaitingToRepeatBeginsTheWaitsAgain)
{
    serve("");
    auto check = makeCheck();
    check->setRetryDelays(1s, 60s);
    QSignalSpy retries(check.get(), &CUpdateCheck::retryScheduled);
    check->start(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return retries.size() == 2; }, 10'000));
    // From the menu, while the 2 s wait runs: asked at once, then 1 s again.
    check->start(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return retries.size() == 3; }, 1500));
    EXPECT_EQ(retries[2][0].toInt(), 1000);
    EXPECT_EQ(server.paths.size(), 3);
}

TEST_F(UpdateCheckTest, ReplyWithoutVersionLineReportsNothing)
{
    serve("\r\n\r\n");
    auto check = makeCheck();
    QSignalSpy retries(check.get(), &CUpdateCheck::retryScheduled);
    QSignalSpy answered(check.get(), &CUpdateCheck::answered);
    check->start(false);
    ASSERT_TRUE(retries.wait(10'000));
    EXPECT_EQ(answered.size(), 0);
    EXPECT_EQ(shown<QMessageBox>(), nullptr);
    EXPECT_EQ(shown<CUpdateWindow>(), nullptr);
}

TEST_F(UpdateCheckTest, RequestInFlightIsAbandonedAtExit)
{
    server.stall();
    auto check = makeCheck();
    check->start(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.paths.isEmpty(); }, 10'000));
    QElapsedTimer exit;
    exit.start();
    check.reset();
    // Far below the 30 s a silent server is otherwise given.
    EXPECT_LT(exit.elapsed(), 5000);
}

}  // namespace
}  // namespace qv
