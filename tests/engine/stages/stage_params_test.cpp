// Every stage takes its parameters from the settings through its
// XParams::from and refuses exactly the values outside the fields table.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/stages/color_noise_reduction/color_noise_reduction.h"
#include "engine/stages/detail/detail_extraction.h"
#include "engine/stages/final_output/final_output.h"
#include "engine/stages/final_output/output_gamma.h"
#include "engine/stages/light/light.h"
#include "engine/stages/merging/merging.h"
#include "engine/stages/region/region_detection.h"
#include "engine/stages/sharpening/sharpening.h"
#include "engine/stages/smoothing/smoothing.h"
#include "engine/stages/softening/softening.h"
#include "engine/stages/tone_curve/tone_curve.h"
#include "settings/tone_settings.h"

namespace qv {
namespace {

struct ParamsCase {
    uint16_t ToneSettings::*member;
    std::function<bool(const ToneSettings&)> accepts;
};

template <class Params>
std::function<bool(const ToneSettings&)> accepting(std::optional<Params> (*from)(const ToneSettings&))
{
    return [from](const ToneSettings& s) { return from(s).has_value(); };
}

std::vector<ParamsCase> paramsCases()
{
    auto detail = [](const ToneSettings& s) { return DetailParams::from(s, 100, 80, 65536, -1).has_value(); };
    auto smoothing = [](const ToneSettings& s) { return SmoothingParams::from(s, 65536).has_value(); };
    auto region = [](const ToneSettings& s) { return RegionParams::from(s, 100, 80).has_value(); };
    auto merge = [](const ToneSettings& s) { return MergeParams::from(s, 65536).has_value(); };
    auto colorNR = [](const ToneSettings& s) { return ColorNRParams::from(s, 65536).has_value(); };
    auto softening = [](const ToneSettings& s) { return SofteningParams::from(s, 100, 80).has_value(); };
    auto light = [](const ToneSettings& s) { return LightParams::from(s, 100, 80).has_value(); };
    return {
        {&ToneSettings::Details, detail},
        {&ToneSettings::Smoothing, smoothing},
        {&ToneSettings::Contrast, accepting(&ToneCurveParams::from)},
        {&ToneSettings::DetectSH, region},
        {&ToneSettings::Opacity, merge},
        {&ToneSettings::Opacity2, merge},
        {&ToneSettings::GrayPoint, merge},
        {&ToneSettings::Mode, merge},
        {&ToneSettings::ColorNR, colorNR},
        {&ToneSettings::Softness, softening},
        {&ToneSettings::Lightness, light},
        {&ToneSettings::Sharpness, accepting(&SharpenParams::from)},
        {&ToneSettings::SharpnessRadius, accepting(&SharpenParams::from)},
        {&ToneSettings::Gamma, accepting(&OutputParams::from)},
        {&ToneSettings::Saturation, accepting(&OutputParams::from)},
    };
}

TEST(StageParams, RefuseExactlyTheValuesBeyondTheFieldsTable)
{
    for (const ParamsCase& c : paramsCases()) {
        const ToneField& field = toneField(c.member);
        SCOPED_TRACE(field.name);
        ToneSettings s;
        s.*c.member = field.max;
        EXPECT_TRUE(c.accepts(s));
        s.*c.member = static_cast<uint16_t>(field.max + 1);
        EXPECT_FALSE(c.accepts(s));
        s.*c.member = 65535;
        EXPECT_FALSE(c.accepts(s));
        if (field.min > 0) {
            s.*c.member = field.min;
            EXPECT_TRUE(c.accepts(s));
            s.*c.member = static_cast<uint16_t>(field.min - 1);
            EXPECT_FALSE(c.accepts(s));
        }
    }
}

TEST(StageParams, StagesThatAreOffAtZeroRefuseIt)
{
    ToneSettings s;
    s.Smoothing = 0;
    s.ColorNR = 0;
    EXPECT_FALSE(SmoothingParams::from(s, 65536));
    EXPECT_FALSE(ColorNRParams::from(s, 65536));
    s.Smoothing = 1;
    s.ColorNR = 1;
    EXPECT_TRUE(SmoothingParams::from(s, 65536));
    EXPECT_TRUE(ColorNRParams::from(s, 65536));
    EXPECT_FALSE(SmoothingParams::from(s, 255));
    EXPECT_FALSE(ColorNRParams::from(s, 65537));
}

TEST(StageParams, DerivedValuesForAKnownSize)
{
    ToneSettings s;
    s.Softness = 60;
    const SofteningParams soft = SofteningParams::from(s, 1000, 600).value();
    // The greatest softness blends the curved value alone.
    EXPECT_EQ(toneField(&ToneSettings::Softness).max, kSofteningScale);
    EXPECT_EQ(soft.radius, 70);
    EXPECT_EQ(soft.sigma, 20);
    EXPECT_EQ(LightParams::from(s, 1000, 600)->firstRadius, 180);
    s.DetectSH = 5;
    EXPECT_EQ(RegionParams::from(s, 1000, 600)->sigma, 25);

    s.Sharpness = 150;
    s.SharpnessRadius = 7;
    EXPECT_EQ(SharpenParams::from(s)->amount, 1.5f);
    EXPECT_EQ(SharpenParams::from(s)->sigma, 0.7f);

    // The output's gamma tables cover the field's whole range.
    EXPECT_EQ(toneField(&ToneSettings::Gamma).max, kMaxOutputGamma);
    s.Saturation = 25;
    EXPECT_EQ(OutputParams::from(s)->saturation, 2.5f);
    s.Mode = storedMode(ColourMode::BlackAndWhite);
    EXPECT_EQ(OutputParams::from(s)->saturation, 0.0f);
    EXPECT_EQ(MergeParams::from(s, 65536)->mode, ColourMode::BlackAndWhite);
    for (uint16_t unnamed : {3, 4, 5, 6}) {
        s.Mode = unnamed;
        EXPECT_FALSE(MergeParams::from(s, 65536)) << unnamed;
    }
}

}  // namespace
}  // namespace qv
