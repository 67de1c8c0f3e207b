#include "settings/image_name.h"

#include <gtest/gtest.h>

#include "settings/tone_file.h"

namespace qv {
namespace {

TEST(ImageName, OneFileIsItsOwnNameAndPath)
{
    EXPECT_EQ(imageDisplayName({"/photos/IMG_1.JPG"}), "IMG_1.JPG");
    EXPECT_EQ(imagePathOf({"/photos/IMG_1.JPG"}), "/photos/IMG_1.JPG");
    EXPECT_EQ(imageDisplayName({"plain"}), "plain");
    EXPECT_EQ(imageDisplayName({}), "");
    EXPECT_EQ(imagePathOf({}), "");
}

TEST(ImageName, ExposuresShareTheirCommonBeginningAndJoinTheRest)
{
    const std::vector<std::string> files{"/d/IMG_0014.jpg", "/d/IMG_0012.jpg", "/d/IMG_0013.jpg"};
    EXPECT_EQ(imageDisplayName(files), "IMG_0012_3_4");
    EXPECT_EQ(imagePathOf(files), "/d/IMG_0012_3_4");
    // The first name after ordering names the folder.
    EXPECT_EQ(imagePathOf({"/z/IMG_0013.jpg", "/a/IMG_0012.jpg"}), "/a/IMG_0012_3");
}

TEST(ImageName, OrderingIgnoresLetterCaseButTheNamesKeepIt)
{
    EXPECT_EQ(imageDisplayName({"/d/img_b.jpg", "/d/IMG_A.jpg"}), "IMG_A_img_b");
}

TEST(ImageName, ANameThatIsTheCommonBeginningStandsForAll)
{
    EXPECT_EQ(imageDisplayName({"/d/scene_2.tif", "/d/scene.tif"}), "scene");
}

TEST(ImageName, TheCommonBeginningNeverSplitsALetter)
{
    // "ą" and "ę" share their first UTF-8 byte.
    EXPECT_EQ(imageDisplayName({"/d/zdjęcie_ą.jpg", "/d/zdjęcie_ę.jpg"}), "zdjęcie_ą_ę");
}

TEST(ImageName, TheCompanionSettingsOfABracketSitBesideItsFirstFile)
{
    const std::vector<std::string> files{"/d/bracket_arch_2_0.25s.jpg", "/d/bracket_arch_1_0.033s.jpg"};
    EXPECT_EQ(imagePathOf(files), "/d/bracket_arch_1_0.033s_2_0.25s");
    // The extension is cut at the last "." as for any image path.
    EXPECT_EQ(companionToneFilePath(imagePathOf(files)), "/d/bracket_arch_1_0.033s_2_0.qvl");
}

}  // namespace
}  // namespace qv
