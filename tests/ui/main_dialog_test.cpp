#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <thread>

#include "text/status_codes.h"
#include "support/qt_application.h"
#include "support/test_data.h"
#include "ui/adjustment_pages.h"
#include "ui/export_dialog.h"
#include "ui/image_view.h"
#include "ui/page_controls.h"

namespace qv::ui {
namespace {

class MainDialogTest : public ::testing::Test, private test::WithApplication {
protected:
    void waitForRun()
    {
        while (window.controller().session().processing())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QCoreApplication::processEvents();
        window.controller().poll();
    }

    CMainDialog window;
};

TEST_F(MainDialogTest, DroppingThreeFilesOpensTheFirst)
{
    const std::string first = test::testDataPath("bmp24_moraine_lake_640x480.bmp");
    window.dropFiles({first, test::testDataPath("photo_night_street_shop.jpg"),
                      test::testDataPath("photo_people_bar_portrait.jpg")});
    EXPECT_EQ(window.controller().imagePath(), first);
    EXPECT_EQ(window.controller().recentFiles().entries(), std::vector<std::string>{first});
    waitForRun();
    EXPECT_TRUE(window.windowTitle().endsWith(QStringLiteral("bmp24_moraine_lake_640x480.bmp*")));
}

TEST_F(MainDialogTest, PagesFollowTheRecordAndBlackAndWhiteDisablesColourControls)
{
    AdjustmentPages& pages = *window.pages();
    QSlider* saturation = pages.slider(&ToneSettings::Saturation);
    EXPECT_FALSE(saturation->isEnabled());  // no image yet
    window.dropFiles({test::testDataPath("bmp24_moraine_lake_640x480.bmp")});
    waitForRun();
    EXPECT_TRUE(saturation->isEnabled());
    EXPECT_EQ(pages.valueLabel(&ToneSettings::Details)->text(), QStringLiteral("Małe kontrasty (5)"));

    window.controller().modeSelected(ColourMode::BlackAndWhite);
    EXPECT_EQ(pages.modeList()->currentText(), QStringLiteral("B&W"));
    EXPECT_FALSE(saturation->isEnabled());
    EXPECT_FALSE(pages.slider(&ToneSettings::ColorNR)->isEnabled());
    EXPECT_TRUE(pages.slider(&ToneSettings::Gamma)->isEnabled());
    window.controller().modeSelected(ColourMode::Vivid);
    EXPECT_TRUE(saturation->isEnabled());
    waitForRun();
}

TEST_F(MainDialogTest, KeyboardStepsOnASliderTakeEffectAndEscapeClosesNothing)
{
    window.show();
    window.dropFiles({test::testDataPath("bmp24_moraine_lake_640x480.bmp")});
    waitForRun();
    window.autoStartBox()->setChecked(false);
    QSlider* details = window.pages()->slider(&ToneSettings::Details);
    details->setFocus();
    QTest::keyClick(details, Qt::Key_Right);
    EXPECT_EQ(window.controller().tone().Details, 6);
    EXPECT_EQ(window.pages()->valueLabel(&ToneSettings::Details)->text(), QStringLiteral("Małe kontrasty (6)"));
    EXPECT_EQ(window.processButton()->text(), QStringLiteral("Przetwarzaj"));
    EXPECT_TRUE(window.processButton()->isEnabled());
    QTest::keyClick(details, Qt::Key_Escape);
    QTest::keyClick(details, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainDialogTest, ARunEndingWhileASliderIsDraggedKeepsTheDraggedValue)
{
    window.dropFiles({test::testDataPath("bmp24_moraine_lake_640x480.bmp")});
    waitForRun();
    QSlider* details = window.pages()->slider(&ToneSettings::Details);
    details->setSliderDown(true);
    details->setValue(8);
    // A live change starts a run that ends while Details is still held.
    window.controller().controlMoved(*controlFor(&ToneSettings::Gamma), 9, SliderPhase::Dragging);
    waitForRun();
    EXPECT_EQ(details->value(), 8);
    details->setSliderDown(false);
    EXPECT_EQ(window.controller().tone().Details, 8);
    waitForRun();
}

TEST_F(MainDialogTest, ZoomFitsAfterALoadAndStepsWithTheShortcuts)
{
    window.resize(900, 700);
    window.show();
    window.dropFiles({test::testDataPath("photo_landscape_moraine_lake.jpg")});
    const ViewGeometry fitted = window.imageView()->geometryNow();
    EXPECT_LE(fitted.zoomedWidth(), fitted.clientWidth);
    EXPECT_LE(fitted.zoomedHeight(), fitted.clientHeight);
    waitForRun();
    const int index = window.zoomSlider()->value();
    // A slow load shows the progress dialog, which may leave the window inactive.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_Plus));
    EXPECT_EQ(window.controller().zoomIndex(), index + 1);
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(window.controller().zoomIndex(), index);

    // One step per notch; half notches add up.
    const auto turn = [&](int angle) {
        QWheelEvent wheel(QPointF(10, 10), window.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&window, &wheel);
    };
    turn(240);
    EXPECT_EQ(window.controller().zoomIndex(), index + 2);
    turn(-60);
    EXPECT_EQ(window.controller().zoomIndex(), index + 2);
    turn(-60);
    EXPECT_EQ(window.controller().zoomIndex(), index + 1);
}

TEST_F(MainDialogTest, StatusPanesKeepTheirPlaceWhenTheProgressBarShows)
{
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
    const QRect image = window.statusPane(2)->geometry();
    window.controller().setStatus(40, StatusCode::Detail);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.statusPane(2)->geometry(), image);
}

TEST(ExportDialog, PresetsTheOptionsAndTheTypeDecidesTheFormat)
{
    test::qtApplication();
    ExportRequest request;
    request.suggestedPath = "/tmp/zdjecie.jpg";
    request.preset.type = SaveFileType::Jpeg;
    request.preset.jpegQuality = 85;
    request.preset.width = 5000;
    request.preset.height = 853;
    request.fullWidth = 1280;
    request.fullHeight = 853;
    CExportDialog dialog(request);
    EXPECT_EQ(dialog.qualitySlider()->value(), 8);
    EXPECT_EQ(dialog.qualityLabel()->text(), QStringLiteral("8"));
    EXPECT_EQ(dialog.widthEdit()->text(), QStringLiteral("1280"));
    EXPECT_FALSE(dialog.widthEdit()->isEnabled());

    dialog.resizeBox()->setChecked(true);
    dialog.widthEdit()->setText(QStringLiteral("640"));
    emit dialog.widthEdit()->editingFinished();
    EXPECT_EQ(dialog.heightEdit()->text(), QStringLiteral("426"));

    emit dialog.filterSelected(QStringLiteral("TIFF 16-bit (*.tif *.tiff)"));
    EXPECT_EQ(dialog.fileNameText(), QStringLiteral("zdjecie.tif"));
    EXPECT_FALSE(dialog.qualitySlider()->isEnabled());
    const SaveOptions options = dialog.options();
    EXPECT_EQ(options.type, SaveFileType::Tiff16);
    EXPECT_EQ(options.jpegQuality, 85);
    EXPECT_EQ(options.width, 640);
    EXPECT_EQ(options.height, 426);

    // A stored quality below the slider's range is saved as the slider shows it.
    request.preset.jpegQuality = 20;
    const CExportDialog low(request);
    EXPECT_EQ(low.qualitySlider()->value(), 4);
    EXPECT_EQ(low.options().jpegQuality, 40);
}

}  // namespace
}  // namespace qv::ui
