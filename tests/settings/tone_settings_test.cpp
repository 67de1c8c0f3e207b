#include "settings/tone_settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

// The values every preset sets, in the column order of the preset table.
struct PresetRow {
    int id;
    const char* menuText;
    uint16_t Opacity, Opacity2, GrayPoint, DetectSH, Details, Smoothing, Mode, Saturation, Contrast,
        Gamma, ColorNR, Softness, Lightness;
};

const std::vector<PresetRow> kPresetRows = {
    {32800, "Krajobraz", 40, 65, 50, 5, 0, 1, 0, 10, 50, 6, 0, 40, 40},
    {32801, "Krajobraz 2", 20, 50, 50, 5, 4, 1, 1, 10, 50, 6, 0, 40, 40},
    {32802, "Krajobraz 3", 60, 80, 50, 5, 3, 1, 1, 12, 40, 6, 5, 50, 40},
    {32803, "Architektura", 40, 50, 50, 1, 4, 0, 0, 10, 50, 5, 0, 40, 40},
    {32804, "Kworwelia", 40, 50, 50, 1, 5, 0, 1, 10, 40, 5, 0, 60, 60},
    {32805, "Kworwelia 2", 40, 50, 50, 1, 7, 0, 0, 10, 50, 5, 0, 60, 40},
    {32806, "Ludzie", 40, 30, 40, 1, 3, 9, 7, 10, 20, 5, 0, 40, 40},
    {32807, "Ludzie B&&W", 40, 30, 40, 1, 3, 9, 8, 10, 20, 5, 0, 40, 40},
    {32808, "Efekty specjalne", 60, 90, 50, 5, 7, 2, 1, 12, 20, 4, 5, 50, 50},
    {32809, "Efekty specjalne 2", 60, 90, 50, 5, 7, 2, 2, 14, 20, 4, 5, 50, 50},
};

void expectPresetValues(const PresetRow& row, const ToneSettings& s)
{
    SCOPED_TRACE(row.menuText);
    EXPECT_EQ(s.Opacity, row.Opacity);
    EXPECT_EQ(s.Opacity2, row.Opacity2);
    EXPECT_EQ(s.GrayPoint, row.GrayPoint);
    EXPECT_EQ(s.DetectSH, row.DetectSH);
    EXPECT_EQ(s.Details, row.Details);
    EXPECT_EQ(s.Smoothing, row.Smoothing);
    EXPECT_EQ(s.Mode, row.Mode);
    EXPECT_EQ(s.Saturation, row.Saturation);
    EXPECT_EQ(s.Contrast, row.Contrast);
    EXPECT_EQ(s.Gamma, row.Gamma);
    EXPECT_EQ(s.ColorNR, row.ColorNR);
    EXPECT_EQ(s.Softness, row.Softness);
    EXPECT_EQ(s.Lightness, row.Lightness);
    EXPECT_EQ(s.Sharpness, 0);
    EXPECT_EQ(s.SharpnessRadius, 7);
}

TEST(TonePresets, EachPresetByCommandHoldsItsValues)
{
    for (const PresetRow& row : kPresetRows) {
        const TonePreset* p = presetByCommand(row.id);
        ASSERT_NE(p, nullptr) << row.id;
        EXPECT_EQ(p->commandId, row.id);
        EXPECT_STREQ(p->menuText, row.menuText);
        expectPresetValues(row, p->settings);
    }
    EXPECT_EQ(presetByCommand(32799), nullptr);
    EXPECT_EQ(presetByCommand(32810), nullptr);
}

TEST(TonePresets, FoundByMenuTextWithOrWithoutTheMenuEscape)
{
    for (const PresetRow& row : kPresetRows) {
        const TonePreset* p = presetByMenuText(row.menuText);
        ASSERT_NE(p, nullptr) << row.menuText;
        expectPresetValues(row, p->settings);
    }
    const TonePreset* escaped = presetByMenuText("Ludzie B&&W");
    const TonePreset* shown = presetByMenuText("Ludzie B&W");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(escaped, shown);
    EXPECT_EQ(shown->commandId, 32807);
    EXPECT_EQ(presetDisplayName(*shown), "Ludzie B&W");
    EXPECT_EQ(presetByMenuText("Ludzie B"), nullptr);
    EXPECT_EQ(presetByMenuText("krajobraz"), nullptr);
}

TEST(ToneSettings, ConstructionDefaults)
{
    const ToneSettings s;
    EXPECT_TRUE(s.name.empty());
    const std::vector<uint16_t> expected = {50, 50, 50, 1, 5, 0, 0, 10, 50, 6, 0, 0, 40, 0, 7};
    for (size_t i = 0; i < toneFields().size(); ++i)
        EXPECT_EQ(s.*toneFields()[i].member, expected[i]) << toneFields()[i].name;
}

TEST(CompareToneSettings, EveryFieldSetsItsStageBit)
{
    const std::vector<std::pair<const char*, uint32_t>> bits = {
        {"Details", 0x001},   {"Smoothing", 0x002},  {"DetectSH", 0x004},        {"Contrast", 0x008},
        {"Mode", 0x010},      {"GrayPoint", 0x020},  {"Opacity", 0x020},         {"Opacity2", 0x020},
        {"ColorNR", 0x040},   {"Saturation", 0x080}, {"Gamma", 0x080},           {"Softness", 0x100},
        {"Lightness", 0x200}, {"Sharpness", 0x400},  {"SharpnessRadius", 0x400},
    };
    ASSERT_EQ(bits.size(), toneFields().size());
    const ToneSettings current;
    for (const auto& [name, bit] : bits) {
        const ToneField* field = findToneField(name);
        ASSERT_NE(field, nullptr) << name;
        ToneSettings incoming;
        incoming.*field->member += 1;
        EXPECT_EQ(compareToneSettings(incoming, current), bit) << name;
        EXPECT_EQ(compareToneSettings(current, incoming), bit) << name;
    }
}

TEST(CompareToneSettings, EqualValuesGiveNoBitsWhateverTheNames)
{
    ToneSettings a = presetByCommand(32802)->settings;
    ToneSettings b = a;
    a.name = "Pierwszy";
    b.name = "Drugi";
    EXPECT_EQ(compareToneSettings(a, b), 0u);
    EXPECT_TRUE(sameToneValues(a, b));
}

TEST(CompareToneSettings, LudziePresetsDifferOnlyInMode)
{
    EXPECT_EQ(compareToneSettings(presetByMenuText("Ludzie B&&W")->settings, presetByMenuText("Ludzie")->settings),
              DirtyBits::MergeMode);
}

TEST(CompareToneSettings, AllFieldsDifferingSetsEveryBit)
{
    ToneSettings incoming;
    for (const ToneField& f : toneFields())
        incoming.*f.member += 1;
    EXPECT_EQ(compareToneSettings(incoming, ToneSettings{}), 0x7FFu);
}

TEST(CopyToneValues, CopiesEveryValueButNotTheName)
{
    ToneSettings source = presetByCommand(32809)->settings;
    source.Sharpness = 120;
    source.SharpnessRadius = 33;
    source.name = "zrodlo";
    ToneSettings target;
    target.name = "cel";
    copyToneValues(source, target);
    EXPECT_EQ(target.name, "cel");
    EXPECT_EQ(compareToneSettings(source, target), 0u);
}

}  // namespace
}  // namespace qv
