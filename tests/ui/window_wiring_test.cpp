// The parts joined to the main window: undo and redo through its actions,
// the display panels, the user presets of its menu.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <thread>

#include "settings/tone_file.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/test_profiles.h"
#include "ui/adjustment_pages.h"
#include "ui/main_dialog.h"
#include "ui/monitor_profile.h"
#include "ui/picture_panel.h"
#include "ui/undo_actions.h"

namespace qv::ui {
namespace {

// Whether the fifteen values agree (names aside).
bool equalToneValues(const ToneSettings& a, const ToneSettings& b)
{
    for (const ToneField& field : toneFields())
        if (a.*field.member != b.*field.member)
            return false;
    return true;
}

class WindowWiringTest : public ::testing::Test, private test::WithApplication {
protected:
    void open(const char* name)
    {
        window.dropFiles({test::testDataPath(name)});
        waitForRun();
    }
    void waitForRun()
    {
        while (window.controller().session().processing())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QCoreApplication::processEvents();
        window.controller().poll();
    }
    ToneSettings& tone() { return window.controller().session().context().current; }
    std::atomic<uint32_t>& dirtyMask() { return window.controller().session().context().dirtyMask; }
    // Triggers "Cofnij" or "Ponów" on a clean mask; the bits it leaves.
    uint32_t step(QAction* action)
    {
        dirtyMask() = 0;
        action->trigger();
        return dirtyMask();
    }

    CMainDialog window;
};

TEST_F(WindowWiringTest, UndoWalksBackThroughDragPresetsAndSettingsFileRerunningOnlyTheirStages)
{
    open("bmp24_moraine_lake_640x480.bmp");
    window.autoStartBox()->setChecked(false);
    QAction* undo = window.undoActions().undoAction();
    QAction* redo = window.undoActions().redoAction();
    EXPECT_FALSE(undo->isEnabled());
    const ToneSettings original = tone();

    // A drag through many live values is one step.
    QSlider* grayPoint = window.pages()->slider(&ToneSettings::GrayPoint);
    grayPoint->setSliderDown(true);
    for (int value : {30, 35, 41})
        grayPoint->setValue(value);
    grayPoint->setSliderDown(false);
    const ToneSettings dragged = tone();
    ASSERT_EQ(dragged.GrayPoint, 41);

    window.controller().applyPreset(kFirstPresetCommand + 3);
    const ToneSettings preset = tone();

    test::TempDir dir;
    ToneSettings inFile = preset;
    inFile.Sharpness = preset.Sharpness + 20;
    ASSERT_TRUE(saveToneFile(inFile, dir.file("ostre.qvl")).ok());
    ASSERT_TRUE(window.controller().loadSettings(dir.file("ostre.qvl")));
    EXPECT_TRUE(undo->isEnabled());

    EXPECT_EQ(step(undo), compareToneSettings(preset, inFile) | DirtyBits::Output);
    EXPECT_TRUE(equalToneValues(tone(), preset));
    EXPECT_EQ(window.pages()->slider(&ToneSettings::Sharpness)->value(), preset.Sharpness);
    EXPECT_EQ(step(undo), compareToneSettings(dragged, preset) | DirtyBits::Output);
    EXPECT_TRUE(equalToneValues(tone(), dragged));
    EXPECT_EQ(step(undo), compareToneSettings(original, dragged) | DirtyBits::Output);
    EXPECT_TRUE(equalToneValues(tone(), original));
    EXPECT_FALSE(undo->isEnabled());

    EXPECT_EQ(step(redo), compareToneSettings(dragged, original) | DirtyBits::Output);
    EXPECT_EQ(tone().GrayPoint, 41);
    // Undone steps are kept only until a new change.
    window.controller().applyDefaults();
    EXPECT_FALSE(redo->isEnabled());

    // Another image starts a history of its own.
    window.controller().openImages({test::testDataPath("photo_night_street_shop.jpg")}, false);
    waitForRun();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(window.controller().undoHistory().canUndo());
}

TEST_F(WindowWiringTest, AUserPresetIsOneStepAndWorksOnlyWithAnImage)
{
    UserPresetList& presets = window.controller().userPresets();
    presets.resize(1);
    presets[0].name = "Mocne";
    presets[0].Contrast = 90;
    window.userPresetsMenu().applyPreset(0);
    EXPECT_NE(tone().Contrast, 90) << "no image, nothing applied";

    open("bmp24_moraine_lake_640x480.bmp");
    window.autoStartBox()->setChecked(false);
    const ToneSettings before = tone();
    window.userPresetsMenu().applyPreset(0);
    EXPECT_EQ(tone().Contrast, 90);
    EXPECT_EQ(step(window.undoActions().undoAction()), compareToneSettings(before, presets[0]) | DirtyBits::Output);
    EXPECT_TRUE(equalToneValues(tone(), before));
}

TEST_F(WindowWiringTest, PanelsShowAfterARunAndHideWhenTheImageCloses)
{
    window.show();
    PicturePanel& thumbnail = *window.thumbnailPanel();
    PicturePanel& histogram = *window.histogramPanel();
    EXPECT_FALSE(thumbnail.isVisible());
    EXPECT_FALSE(histogram.isVisible());

    open("bmp24_moraine_lake_640x480.bmp");
    EXPECT_TRUE(thumbnail.isVisible());
    EXPECT_TRUE(histogram.isVisible());
    EXPECT_EQ(thumbnail.picture().size(), thumbnail.size());
    EXPECT_EQ(histogram.picture().size(), histogram.size());
    EXPECT_TRUE(window.statusPane(3)->text().startsWith(QStringLiteral("C:")));

    window.controller().closeImage();
    EXPECT_FALSE(thumbnail.isVisible());
    EXPECT_FALSE(histogram.isVisible());
    EXPECT_TRUE(thumbnail.picture().isNull());
    EXPECT_TRUE(window.statusPane(3)->text().isEmpty());
}

TEST_F(WindowWiringTest, SwitchingTheMonitorProfileInKonfiguracjaRedrawsThePanelsAtOnce)
{
    window.setMonitorProfile(MonitorProfile::fromIcc(test::gammaProfileBytes()));
    open("bmp24_moraine_lake_640x480.bmp");
    const QImage plain = window.thumbnailPanel()->picture();

    // "Konfiguracja" with "Użyj profilu ICC monitora" ticked and "OK".
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
            if (box->text() == QStringLiteral("Użyj profilu ICC monitora"))
                box->setChecked(true);
        dialog->accept();
    });
    window.action(Command::Configuration)->trigger();
    EXPECT_TRUE(window.controller().config().iccProfile);
    const QImage managed = window.thumbnailPanel()->picture();
    EXPECT_EQ(managed.size(), plain.size());
    EXPECT_NE(managed, plain);
}

}  // namespace
}  // namespace qv::ui
