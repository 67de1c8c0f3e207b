#include "settings/colour_mode.h"

#include <gtest/gtest.h>

#include "settings/tone_settings.h"

namespace qv {
namespace {

// Settings files, presets and the stored defaults hold the mode as these
// numbers; a mode that changed its number would reinterpret them.
TEST(ColourMode, KeepsTheStoredValuesAndNamesNoOthers)
{
    const ToneField& field = toneField(&ToneSettings::Mode);
    int named = 0;
    for (int stored = 0; stored <= 65535; ++stored) {
        const std::optional<ColourMode> mode = colourModeOf(stored);
        if (!mode)
            continue;
        ++named;
        EXPECT_EQ(storedMode(*mode), stored);
        EXPECT_GE(stored, field.min);
        EXPECT_LE(stored, field.max);
    }
    EXPECT_EQ(named, 5);
    EXPECT_EQ(colourModeOf(7), ColourMode::Muted);
    EXPECT_EQ(colourModeOf(2), ColourMode::Artistic);
    EXPECT_TRUE(isBlackAndWhite(8));
    EXPECT_FALSE(isBlackAndWhite(7));
}

TEST(ToneField, FoundByMemberAndRangesInclusive)
{
    for (const ToneField& f : toneFields())
        EXPECT_EQ(&toneField(f.member), &f) << f.name;

    ToneSettings s;
    s.SharpnessRadius = 3;
    EXPECT_FALSE(inFieldRange(s, &ToneSettings::SharpnessRadius));
    s.SharpnessRadius = 4;
    EXPECT_TRUE(inFieldRange(s, &ToneSettings::SharpnessRadius));
    s.SharpnessRadius = 40;
    EXPECT_TRUE(inFieldRange(s, &ToneSettings::SharpnessRadius));
    s.SharpnessRadius = 41;
    EXPECT_FALSE(inFieldRange(s, &ToneSettings::SharpnessRadius));
}

}  // namespace
}  // namespace qv
