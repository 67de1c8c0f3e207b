#include "app/quorvelin_app.h"

#include <gtest/gtest.h>

#include "app/settings_store.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "ui/main_dialog.h"

namespace qv {
namespace {

TEST(QuorvelinApp, ConfigurationIsReadBeforeTheWindowShowsAndWrittenOnceAfter)
{
    test::qtApplication();
    test::TempDir dir;
    const std::string ini = dir.file("Quorvelin.ini");
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
        CQuorvelinApp app(std::make_unique<QSettingsStore>(ini));
        ui::CMainDialog& window = app.start({});
        ui::WindowController& controller = window.controller();
        EXPECT_FALSE(controller.session().context().autoStart);
        EXPECT_EQ(controller.config().jpegQuality, 100);
        EXPECT_EQ(controller.config().previewMode, 7);
        EXPECT_EQ(controller.tone().Contrast, 70);
        EXPECT_EQ(app.lastUpdate, "1.2.0");
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

TEST(QuorvelinApp, AFileFromTheCommandLineOpensOnceTheWindowShows)
{
    test::qtApplication();
    test::TempDir dir;
    CQuorvelinApp app(std::make_unique<QSettingsStore>(dir.file("Quorvelin.ini")));
    const std::string photo = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    ui::CMainDialog& window = app.start({photo});
    EXPECT_FALSE(window.controller().session().imageLoaded());
    QCoreApplication::processEvents();
    EXPECT_EQ(window.controller().imagePath(), photo);
    EXPECT_TRUE(window.controller().session().imageLoaded());
    window.controller().stopProcessing(false);
    app.finish();
}

}  // namespace
}  // namespace qv
