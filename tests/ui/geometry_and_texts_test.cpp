#include <gtest/gtest.h>

#include "engine/stages/final_output/histograms.h"
#include "ui/command_table.h"
#include "ui/export_rules.h"
#include "ui/open_filter.h"
#include "ui/status_texts.h"
#include "ui/view_geometry.h"

namespace qv::ui {
namespace {

TEST(ViewGeometry, FittingZoomIsTheLargestStepThatFitsAndNeverEnlarges)
{
    EXPECT_EQ(kZoomFactors[fittingZoomIndex(4000, 3000, 640, 480)], 0.15f);
    EXPECT_EQ(fittingZoomIndex(300, 200, 640, 480), kFullSizeZoomIndex);
    EXPECT_EQ(fittingZoomIndex(100000, 100000, 640, 480), 0);
}

TEST(ViewGeometry, SmallImageIsCentredOnBlackAndCannotBePanned)
{
    ViewGeometry g{300, 200, 640, 480, 1.0f, 50, 50};
    g.clampScroll();
    EXPECT_EQ(g.scrollX, 0);
    EXPECT_EQ(g.scrollY, 0);
    EXPECT_EQ(g.destination(), (ViewRect{170, 140, 300, 200}));
}

TEST(ViewGeometry, ZoomKeepsTheCentrePointUnlessAnEdgeStopsIt)
{
    ViewGeometry g{4000, 3000, 640, 480, 1.0f, 1680, 1260};  // centre at 2000, 1500
    g.zoomKeepingCentre(2.0f);
    EXPECT_EQ(g.scrollX, 2000 * 2 - 320);
    EXPECT_EQ(g.scrollY, 1500 * 2 - 240);
    int x, y;
    g.clientToImage(320, 240, x, y);
    EXPECT_EQ(x, 2000);
    EXPECT_EQ(y, 1500);
    ViewGeometry corner{4000, 3000, 640, 480, 1.0f, 0, 0};
    corner.zoomKeepingCentre(0.5f);
    EXPECT_EQ(corner.scrollX, 0);
    EXPECT_EQ(corner.scrollY, 0);
}

TEST(ViewGeometry, PixelsAreReplicatedOnlyAtWholeZooms)
{
    EXPECT_FALSE(smoothScaling(1.0f));
    EXPECT_FALSE(smoothScaling(2.0f));
    EXPECT_FALSE(smoothScaling(3.0f));
    EXPECT_TRUE(smoothScaling(1.5f));
    EXPECT_TRUE(smoothScaling(0.75f));
}

TEST(ExportRules, EditedSizesFollowTheAspectOrFallBackToFullSize)
{
    EXPECT_EQ(sizeAfterWidthEdit(640, 1280, 853), (ExportSize{640, 426}));
    EXPECT_EQ(sizeAfterWidthEdit(2000, 1280, 853), (ExportSize{1280, 853}));
    EXPECT_EQ(sizeAfterWidthEdit(16, 1280, 853), (ExportSize{1280, 853}));
    EXPECT_EQ(sizeAfterWidthEdit(26, 1280, 853), (ExportSize{26, 17}));
    EXPECT_EQ(sizeAfterWidthEdit(25, 1280, 853), (ExportSize{1280, 853}));
    EXPECT_EQ(sizeAfterHeightEdit(426, 1280, 853), (ExportSize{639, 426}));
    EXPECT_EQ(leadingNumber("12ab"), 12);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(sizeAfterWidthEdit(leadingNumber("99999999999999"), 1280, 853), (ExportSize{1280, 853}));
}

TEST(ExportRules, TypeDecidesTheExtension)
{
    EXPECT_EQ(withExtensionFor("photo.jpg", SaveFileType::Tiff16), "photo.tif");
    EXPECT_EQ(withExtensionFor("photo.v2.tif", SaveFileType::Jpeg), "photo.v2.jpg");
    EXPECT_EQ(withExtensionFor("photo", SaveFileType::Tiff8), "photo.tif");
}

TEST(StatusTexts, VersionAndRunTimes)
{
    EXPECT_EQ(versionText(1, 1, 2, 0), "1.1.2");
    EXPECT_EQ(versionText(1, 1, 0, 0), "1.1");
    EXPECT_EQ(versionText(2, 0, 1, 7), "2.0.1 (build 7)");
    EXPECT_EQ(titleBase(), "Quorvelin 1.1.2");
    EXPECT_EQ(runTimeText(2400), "Gotowe  (2.4sek.)");
    EXPECT_EQ(runTimeText(75900), "Gotowe  (1 min. 15 sec.)");
    EXPECT_EQ(statusLine(StatusCode::Smoothing2, 40), "Wygładzanie: 40% 2-gi przebieg");
    EXPECT_TRUE(statusInTitle(StatusCode::Light));
    EXPECT_FALSE(statusInTitle(StatusCode::RunEnded));
    EXPECT_FALSE(statusInTitle(StatusCode::LoadError));
}

TEST(CommandTable, SavingNeedsACurrentResultAndTheButtonAStaleOneOrARun)
{
    const WindowState stale{true, false, true}, busy{true, true, true}, current{true, false, false}, none{};
    EXPECT_FALSE(commandEnabled(Command::Save, stale));
    EXPECT_TRUE(commandEnabled(Command::ProcessButton, stale));
    EXPECT_FALSE(commandEnabled(Command::SaveAs, busy));
    EXPECT_TRUE(commandEnabled(Command::ProcessButton, busy));
    EXPECT_FALSE(commandEnabled(Command::ZoomSlider, busy));
    EXPECT_TRUE(commandEnabled(Command::SaveToEditor, current));
    EXPECT_FALSE(commandEnabled(Command::ProcessButton, current));
    EXPECT_FALSE(commandEnabled(Command::LoadSettings, none));
    EXPECT_TRUE(commandEnabled(Command::OpenImages, none));
}

TEST(OpenFilter, ListsThePresentTypesFirstTogether)
{
    const auto filters = openFilters({"png", "jpeg"});
    ASSERT_EQ(filters.size(), 5u);
    EXPECT_TRUE(filters[0].starts_with("Pliki obrazów (*.png *.jpg *.jpeg *.dng"));
    EXPECT_EQ(filters[1], "PNG (*.png)");
    EXPECT_TRUE(filters[3].starts_with("Pliki RAW ("));
    EXPECT_EQ(filters[4], "Wszystkie pliki (*)");
}

}  // namespace
}  // namespace qv::ui
