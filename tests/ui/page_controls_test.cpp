#include "ui/page_controls.h"

#include <gtest/gtest.h>

namespace qv::ui {
namespace {

std::string label(uint16_t ToneSettings::*field, int value) { return valueLabel(*controlFor(field), value); }

TEST(PageControls, ValueLabelsFollowTheirRules)
{
    EXPECT_EQ(label(&ToneSettings::Details, 5), "Małe kontrasty (5)");
    EXPECT_EQ(label(&ToneSettings::Details, 9), "Drobne szczegóły (9)");
    EXPECT_EQ(label(&ToneSettings::Smoothing, 10), "Agresywne (10) x 2");
    EXPECT_EQ(label(&ToneSettings::Smoothing, 9), "Agresywne (9)");
    EXPECT_EQ(label(&ToneSettings::Contrast, 50), "Średni (50%)");
    EXPECT_EQ(label(&ToneSettings::Contrast, 100), "Wysoki (100%)");
    EXPECT_EQ(label(&ToneSettings::DetectSH, 0), "Ostra (0)");
    EXPECT_EQ(label(&ToneSettings::Gamma, 0), "0.4");
    EXPECT_EQ(label(&ToneSettings::Gamma, 13), "1.7");
    EXPECT_EQ(label(&ToneSettings::Sharpness, 0), "100%");
    EXPECT_EQ(label(&ToneSettings::Sharpness, 200), "300%");
    EXPECT_EQ(label(&ToneSettings::Saturation, 30), "300%");
    EXPECT_EQ(label(&ToneSettings::SharpnessRadius, 4), "0.4");
    EXPECT_EQ(label(&ToneSettings::SharpnessRadius, 40), "4.0");
    EXPECT_EQ(label(&ToneSettings::Opacity, 35), "35%");
}

TEST(PageControls, WordIndexIsComputedInSinglePrecisionAndCapped)
{
    EXPECT_EQ(wordIndex(4, 5, 0, 9), 2);
    EXPECT_EQ(wordIndex(11, 10, 0, 10), 10);
    EXPECT_EQ(wordIndex(5, 5, 0, 5), 4);
}

TEST(PageControls, EveryFieldHasOneControlWithItsRangeAndBits)
{
    EXPECT_EQ(pageControls().size(), 15u);
    for (const ToneField& field : toneFields()) {
        const PageControl* control = controlFor(field.member);
        ASSERT_NE(control, nullptr) << field.name;
        EXPECT_EQ(control->max, field.max) << field.name;
        EXPECT_TRUE(control->bits & DirtyBits::Output) << field.name;
    }
    EXPECT_EQ(controlFor(&ToneSettings::Details)->bits, 0x081u);
    EXPECT_EQ(controlFor(&ToneSettings::Sharpness)->bits, 0x480u);
    EXPECT_EQ(controlFor(&ToneSettings::ColorNR)->bits, 0x0C0u);
    EXPECT_EQ(controlFor(&ToneSettings::Opacity2)->bits, 0x0A0u);
    EXPECT_EQ(controlFor(&ToneSettings::Gamma)->bits, 0x080u);
    EXPECT_EQ(controlFor(&ToneSettings::Opacity)->apply, Apply::Live);
    EXPECT_EQ(controlFor(&ToneSettings::Details)->apply, Apply::OnRelease);
}

TEST(PageControls, BlackAndWhiteDisablesSaturationAndColourNoiseReduction)
{
    for (const PageControl& c : pageControls()) {
        const bool colourOnly = c.field == &ToneSettings::Saturation || c.field == &ToneSettings::ColorNR;
        EXPECT_EQ(controlEnabled(c, true, storedMode(ColourMode::BlackAndWhite)), !colourOnly) << c.caption;
        EXPECT_TRUE(controlEnabled(c, true, 7)) << c.caption;
        EXPECT_FALSE(controlEnabled(c, false, 0)) << c.caption;
    }
    EXPECT_EQ(modeItemIndex(7), 2);
    EXPECT_EQ(modeItemIndex(5), -1);
}

}  // namespace
}  // namespace qv::ui
