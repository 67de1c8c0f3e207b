#include "ui/window_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "settings/tone_file.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "ui/page_controls.h"

namespace qv::ui {
namespace {

// Records what the controller shows and answers its questions as told.
class FakeHost : public WindowHost {
public:
    void showStatus(const StatusView& view) override
    {
        ++statusCalls;
        status = view;
    }
    void showPane(int pane, const std::string& text) override { panes[pane] = text; }
    bool waitForWorker(WorkerKind, EngineSession& session) override
    {
        if (abortWaits)
            session.abortWorker();
        while (session.workerRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return abortWaits;
    }
    Answer ask(const std::string&) override
    {
        ++questions;
        return answer;
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void syncControls() override { ++syncs; }
    void refreshView() override {}
    void setWaitCursor(bool) override {}
    void commandsChanged() override {}
    std::optional<SaveOptions> chooseExport(const ExportRequest& request) override
    {
        lastRequest = request;
        return exportChoice;
    }
    void openInEditor(const std::string& path, const std::string& program) override
    {
        editorPath = path;
        editorProgram = program;
    }

    StatusView status;
    int statusCalls = 0;
    std::string panes[4];
    Answer answer = Answer::Cancel;
    bool abortWaits = false;  // "Przerwij" pressed in every wait
    int questions = 0;
    std::vector<std::string> errors;
    int syncs = 0;
    ExportRequest lastRequest;
    std::optional<SaveOptions> exportChoice;
    std::string editorPath, editorProgram;
};

const std::string kPhoto = test::testDataPath("bmp24_moraine_lake_640x480.bmp");

class WindowControllerTest : public ::testing::Test {
protected:
    // Waits for the processing run and takes its end as the window does.
    void finishRun()
    {
        while (controller.session().processing())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        controller.poll();
    }
    void openProcessed()
    {
        ASSERT_TRUE(controller.openImages({kPhoto}, false));
        finishRun();
        ASSERT_TRUE(controller.modified());
    }

    FakeHost host;
    WindowController controller{host};
    test::TempDir dir;
};

TEST_F(WindowControllerTest, ARunThatEndsMarksTheResultModifiedAndShowsItsTime)
{
    openProcessed();
    EXPECT_EQ(host.status.title, "Quorvelin 1.1.2  bmp24_moraine_lake_640x480.bmp*");
    EXPECT_EQ(host.status.text, "Gotowe");
    EXPECT_TRUE(host.panes[0].starts_with("Gotowe  (")) << host.panes[0];
    EXPECT_EQ(host.panes[2], kPhoto + "   640 x 480 24bpp sRGB");
    EXPECT_TRUE(controller.enabled(Command::Save));
}

TEST_F(WindowControllerTest, WithoutAutoStartTheTitleStillNamesTheLoadedImage)
{
    controller.setAutoStart(false);
    ASSERT_TRUE(controller.openImages({kPhoto}, true));
    EXPECT_FALSE(controller.session().processing());
    EXPECT_EQ(host.status.title, "Quorvelin 1.1.2  bmp24_moraine_lake_640x480.bmp");
    EXPECT_EQ(host.status.text, "Gotowe");
}

TEST_F(WindowControllerTest, TheSameStatusTwiceChangesNothing)
{
    controller.setStatus(40, StatusCode::Detail);
    const int calls = host.statusCalls;
    EXPECT_EQ(host.status.title, "Quorvelin 1.1.2    (Przetwarzanie: 40%)");
    controller.setStatus(40, StatusCode::Detail);
    EXPECT_EQ(host.statusCalls, calls);
    controller.setStatus(150, StatusCode::Detail);
    controller.setStatus(150, StatusCode::Detail);
    EXPECT_EQ(host.statusCalls, calls + 2);
    EXPECT_EQ(host.status.progress, 0);
    controller.setStatus(-1, StatusCode::Ready);
    EXPECT_EQ(host.status.bar, StatusView::Bar::Hide);
}

TEST_F(WindowControllerTest, SlidersMarkTheirBitsAndRestartOnlyWithAutoStart)
{
    openProcessed();
    controller.setAutoStart(false);
    const PageControl& details = *controlFor(&ToneSettings::Details);
    // Dragging an on-release slider changes nothing until it is let go.
    controller.controlMoved(details, 7, SliderPhase::Dragging);
    EXPECT_EQ(controller.tone().Details, 5);
    controller.controlMoved(details, 7, SliderPhase::Released);
    EXPECT_EQ(controller.tone().Details, 7);
    EXPECT_EQ(controller.session().context().dirtyMask.load(), 0x081u);
    EXPECT_FALSE(controller.session().processing());
    EXPECT_TRUE(controller.enabled(Command::ProcessButton));
    EXPECT_FALSE(controller.enabled(Command::Save));

    // A live slider takes every move, also while dragging.
    controller.controlMoved(*controlFor(&ToneSettings::Opacity), 30, SliderPhase::Dragging);
    EXPECT_EQ(controller.tone().Opacity, 30);
    EXPECT_EQ(controller.session().context().dirtyMask.load(), 0x0A1u);

    controller.setAutoStart(true);
    controller.controlMoved(*controlFor(&ToneSettings::Gamma), 9, SliderPhase::Dragging);
    EXPECT_TRUE(controller.session().processing() || controller.session().collectProcessing().has_value());
    finishRun();
    EXPECT_FALSE(controller.session().stale());
}

TEST_F(WindowControllerTest, RadiusWithoutSharpeningOnlyChangesTheValue)
{
    openProcessed();
    controller.radiusPressed(+1);
    EXPECT_EQ(controller.tone().SharpnessRadius, 8);
    EXPECT_FALSE(controller.session().stale());
    for (int i = 0; i < 50; ++i)
        controller.radiusPressed(-1);
    EXPECT_EQ(controller.tone().SharpnessRadius, 4);
}

TEST_F(WindowControllerTest, CancelInAskToSaveLeavesEverythingAsItWas)
{
    openProcessed();
    const std::string title = host.status.title;
    host.answer = Answer::Cancel;
    EXPECT_FALSE(controller.openRequested({test::testDataPath("photo_night_street_shop.jpg")}));
    controller.closeRequested();
    EXPECT_EQ(host.questions, 2);
    EXPECT_TRUE(controller.session().imageLoaded());
    EXPECT_TRUE(controller.modified());
    EXPECT_EQ(controller.imagePath(), kPhoto);
    EXPECT_EQ(host.status.title, title);

    host.answer = Answer::No;
    controller.closeRequested();
    EXPECT_FALSE(controller.session().imageLoaded());
    EXPECT_FALSE(controller.modified());
}

TEST_F(WindowControllerTest, AYesSavesWithTheExportChoiceAndClearsModified)
{
    openProcessed();
    SaveOptions choice;
    choice.path = dir.file("wynik.jpg");
    choice.type = SaveFileType::Jpeg;
    choice.jpegQuality = 70;
    host.exportChoice = choice;
    host.answer = Answer::Yes;
    controller.closeRequested();
    EXPECT_TRUE(std::filesystem::exists(choice.path));
    EXPECT_EQ(host.lastRequest.suggestedPath, test::testDataPath("bmp24_moraine_lake_640x480.tif"));
    EXPECT_EQ(host.lastRequest.preset.type, SaveFileType::Tiff16);
    EXPECT_EQ(controller.config().jpegQuality, 70);
    EXPECT_FALSE(controller.session().imageLoaded());
}

TEST_F(WindowControllerTest, AnOutOfDateResultIsAskedAboutAndRunToItsEndBeforeSaving)
{
    openProcessed();
    controller.setAutoStart(false);
    controller.controlMoved(*controlFor(&ToneSettings::Gamma), 9, SliderPhase::Step);
    ASSERT_TRUE(controller.session().stale());
    SaveOptions choice;
    choice.path = dir.file("wynik.tif");
    host.exportChoice = choice;
    host.answer = Answer::Yes;
    controller.closeRequested();
    EXPECT_EQ(host.questions, 1);
    EXPECT_TRUE(std::filesystem::exists(choice.path));
    EXPECT_FALSE(controller.session().imageLoaded());
}

TEST_F(WindowControllerTest, AFailedLoadShowsTheErrorAndLeavesNoImage)
{
    EXPECT_FALSE(controller.openImages({test::testDataPath("bad_text_renamed.png")}, true));
    EXPECT_EQ(host.status.text, "Błąd wczytywania");
    EXPECT_FALSE(controller.session().imageLoaded());
    EXPECT_FALSE(controller.openImages({dir.path().string()}, true));
    EXPECT_EQ(host.status.text, "Błąd wczytywania");
    EXPECT_EQ(host.panes[2], "");
}

TEST_F(WindowControllerTest, AnAbortedLoadSaysSoAndLeavesNoImage)
{
    host.abortWaits = true;
    EXPECT_FALSE(controller.openImages({test::testDataPath("photo_night_street_shop.jpg")}, true));
    EXPECT_EQ(host.status.text, "Przerwane");
    EXPECT_FALSE(controller.session().imageLoaded());
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(WindowControllerTest, SettingsFilesLoadWholeRecordsAndBadOnesChangeNothing)
{
    openProcessed();
    ToneSettings saved = controller.tone();
    saved.Contrast = 80;
    saved.Mode = 8;
    const std::string good = dir.file("dobre.qvl");
    ASSERT_TRUE(saveToneFile(saved, good).ok());
    const std::string bad = dir.file("zle.qvl");
    std::ofstream(bad) << "to nie są ustawienia";

    const ToneSettings before = controller.tone();
    EXPECT_FALSE(controller.loadSettings(bad));
    EXPECT_TRUE(sameToneValues(controller.tone(), before));
    EXPECT_EQ(host.status.text, "Błąd wczytywania");

    controller.setAutoStart(false);
    EXPECT_TRUE(controller.loadSettings(good));
    EXPECT_EQ(controller.tone().Contrast, 80);
    EXPECT_EQ(controller.session().context().dirtyMask.load(), 0x098u);

    controller.setAsDefaults();
    EXPECT_EQ(controller.session().context().storedDefaults.Contrast, 80);
}

TEST_F(WindowControllerTest, CompanionSettingsFileIsReadWithTheImage)
{
    const std::string image = dir.file("zdjecie.bmp");
    std::filesystem::copy_file(kPhoto, image);
    ToneSettings companion;
    companion.Details = 2;
    ASSERT_TRUE(saveToneFile(companion, dir.file("zdjecie.qvl")).ok());
    ASSERT_TRUE(controller.openImages({image}, true));
    EXPECT_EQ(controller.tone().Details, 2);
    finishRun();
}

TEST_F(WindowControllerTest, ChoosingTheCurrentOrAnUnneededPreviewDoesNotReload)
{
    openProcessed();
    EXPECT_TRUE(controller.setPreviewMode(0));
    // 640 x 480 already fits 800 pixels at full size: no re-load, no question.
    EXPECT_TRUE(controller.setPreviewMode(1));
    EXPECT_EQ(controller.config().previewMode, 1);
    EXPECT_EQ(host.questions, 0);
    EXPECT_TRUE(controller.modified());
}

TEST_F(WindowControllerTest, APreviewThatNeedsAReloadAsksFirst)
{
    ASSERT_TRUE(controller.openImages({test::testDataPath("photo_landscape_moraine_lake.jpg")}, false));
    finishRun();
    host.answer = Answer::Cancel;
    EXPECT_FALSE(controller.setPreviewMode(1));
    EXPECT_EQ(controller.config().previewMode, 0);
    EXPECT_TRUE(controller.modified());
    host.answer = Answer::No;
    EXPECT_TRUE(controller.setPreviewMode(1));
    EXPECT_EQ(controller.session().context().workingWidth.load(), 800);
    finishRun();
}

}  // namespace
}  // namespace qv::ui
