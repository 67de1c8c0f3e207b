#include "app/quorvelin_app.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "app/settings_store.h"
#include "app/splash_window.h"
#include "online/update_check.h"
#include "settings/user_presets.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "ui/main_dialog.h"
#include "ui/project_addresses.h"

namespace qv {
namespace {

// The program on a store and a presets file of the test's own; its update
// check asks a port where no server listens.
struct QuorvelinAppTest : ::testing::Test {
    QuorvelinAppTest()
    {
        test::qtApplication();
        qputenv(kUpdateServerVariable, "127.0.0.1:1");
    }
    ~QuorvelinAppTest() override { qunsetenv(kUpdateServerVariable); }
    CQuorvelinApp makeApp() const
    {
        return CQuorvelinApp(std::make_unique<QSettingsStore>(ini), QString::fromStdString(presets));
    }

    test::TempDir dir;
    const std::string ini = dir.file("Quorvelin.ini");
    const std::string presets = dir.file("UserSettings.qvl");
};

TEST_F(QuorvelinAppTest, ConfigurationIsReadBeforeTheWindowShowsAndWrittenOnceAfter)
{
    {
        QSettingsStore store(ini);
        store.writeInt(kSettingsSection, "AutoStart", 2);
        store.writeInt(kSettingsSection, "JPEGRatio", 150);
        store.writeInt(kSettingsSection, "Preview", 7);
        store.writeInt(kSettingsSection, "Contrast", 70);
        store.writeText(kSettingsSection, "LastUpdate", "1.2.0");
        store.writeText("Recent File List", "File1", "/zdjecia/a.jpg");
        store.sync();
    }
    {
        CQuorvelinApp app = makeApp();
        ui::CMainDialog& window = app.start({});
        ui::WindowController& controller = window.controller();
        EXPECT_FALSE(controller.session().context().autoStart);
        EXPECT_EQ(controller.config().jpegQuality, 100);
        EXPECT_EQ(controller.config().previewMode, 7);
        EXPECT_EQ(controller.tone().Contrast, 70);
        EXPECT_EQ(controller.recentFiles().entries(), std::vector<std::string>{"/zdjecia/a.jpg"});
        EXPECT_TRUE(window.isVisible());

        controller.setAutoStart(true);
        controller.recentFiles().add("/zdjecia/b.jpg");
        controller.session().context().storedDefaults.Contrast = 30;
        // Nothing reaches the store before the end.
        EXPECT_EQ(QSettingsStore(ini).readInt(kSettingsSection, "Contrast"), 70);
        app.finish();
    }
    const QSettingsStore store(ini);
    EXPECT_EQ(store.readInt(kSettingsSection, "AutoStart"), 1);
    EXPECT_EQ(store.readInt(kSettingsSection, "JPEGRatio"), 100);
    EXPECT_EQ(store.readInt(kSettingsSection, "Preview"), 7);
    EXPECT_EQ(store.readInt(kSettingsSection, "Contrast"), 30);
    EXPECT_EQ(store.readText(kSettingsSection, "LastUpdate"), "1.2.0");
    EXPECT_EQ(store.readText("Recent File List", "File1"), "/zdjecia/b.jpg");
    EXPECT_EQ(store.readText("Recent File List", "File2"), "/zdjecia/a.jpg");
}

TEST_F(QuorvelinAppTest, AFileFromTheCommandLineOpensOnceTheWindowShows)
{
    CQuorvelinApp app = makeApp();
    const std::string photo = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    ui::CMainDialog& window = app.start({photo});
    EXPECT_FALSE(window.controller().session().imageLoaded());
    QCoreApplication::processEvents();
    EXPECT_EQ(window.controller().imagePath(), photo);
    EXPECT_TRUE(window.controller().session().imageLoaded());
    window.controller().stopProcessing(false);
    app.finish();
}

TEST_F(QuorvelinAppTest, PresetsAreReadAtStartAndWrittenAtExit)
{
    UserPresetList stored(2);
    stored[0].name = "Miękkie";
    stored[0].Contrast = 11;
    stored[1].name = "Twarde";
    ASSERT_TRUE(saveUserPresets(stored, presets).ok());
    {
        CQuorvelinApp app = makeApp();
        UserPresetList& list = app.start({}).controller().userPresets();
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0].name, "Miękkie");
        EXPECT_EQ(list[0].Contrast, 11);
        list.erase(list.begin());
        app.finish();
    }
    UserPresetList reread;
    ASSERT_TRUE(loadUserPresets(reread, presets).ok());
    ASSERT_EQ(reread.size(), 1u);
    EXPECT_EQ(reread[0].name, "Twarde");
}

TEST_F(QuorvelinAppTest, TheSplashShowsAtStartAndTheAboutBoxOpensOnce)
{
    CQuorvelinApp app = makeApp();
    ui::CMainDialog& window = app.start({});
    EXPECT_TRUE(CSplashWindow::isOpen());
    QAction* about = window.action(ui::Command::About);
    about->trigger();
    about->trigger();
    int splashes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        splashes += dynamic_cast<CSplashWindow*>(widget) != nullptr && widget->isVisible();
    EXPECT_EQ(splashes, 1);
    app.finish();
}

TEST_F(QuorvelinAppTest, CheckingForUpdatesFromTheMenuShowsItInTheStatus)
{
    CQuorvelinApp app = makeApp();
    ui::CMainDialog& window = app.start({});
    EXPECT_TRUE(app.updateCheck().isRunning()) << "checked once when the window opens";
    window.action(ui::Command::CheckUpdates)->trigger();
    EXPECT_EQ(window.statusPane(0)->text(), QStringLiteral("Sprawdzanie aktualizacji..."));
    // Nobody answers: the check waits to be repeated and says so no longer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.statusPane(0)->text() == QStringLiteral("Gotowe"); }, 5000));
    app.finish();
}

TEST_F(QuorvelinAppTest, AnUnansweredCheckLeavesAnotherStatusAlone)
{
    CQuorvelinApp app = makeApp();
    ui::CMainDialog& window = app.start({});
    app.updateCheck().setRetryDelays(std::chrono::milliseconds(10), std::chrono::milliseconds(10));
    window.controller().setStatus(-1, StatusCode::LoadError);
    const QString shown = window.statusPane(0)->text();
    QSignalSpy retries(&app.updateCheck(), &CUpdateCheck::retryScheduled);
    EXPECT_TRUE(QTest::qWaitFor([&] { return retries.count() >= 2; }, 5000));
    EXPECT_EQ(window.statusPane(0)->text(), shown);
    app.finish();
}

}  // namespace
}  // namespace qv
