#include "settings/undo_history.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

void expectSameValues(const ToneSettings& a, const ToneSettings& b)
{
    for (const ToneField& f : toneFields())
        EXPECT_EQ(a.*f.member, b.*f.member) << f.name;
}

// Applies a change the way the window does, returning its dirty bits.
uint32_t applyChange(const std::optional<ToneChange>& change, ToneSettings& current)
{
    EXPECT_TRUE(change);
    if (!change)
        return 0;
    copyToneValues(change->record, current);
    return change->dirtyBits;
}

TEST(UndoHistory, SliderGesturePresetAndSettingsFileAreOneStepEach)
{
    UndoHistory history;
    ToneSettings current;
    const ToneSettings start = current;

    // A slider dragged through several live values.
    history.beginGesture(current);
    for (uint16_t v : {60, 70, 80}) {
        const ToneSettings before = current;
        current.Contrast = v;
        history.record(before, current);
    }
    history.endGesture(current);
    const ToneSettings afterSlider = current;

    // A built-in preset, then a settings file.
    ToneSettings before = current;
    copyToneValues(tonePresets()[6].settings, current);
    history.record(before, current);
    const ToneSettings afterPreset = current;
    before = current;
    ToneSettings file = current;
    file.Sharpness = 120;
    file.Gamma = 9;
    copyToneValues(file, current);
    history.record(before, current);
    const ToneSettings afterFile = current;

    EXPECT_EQ(applyChange(history.undo(current), current), DirtyBits::Sharpen | DirtyBits::Output);
    expectSameValues(current, afterPreset);
    EXPECT_EQ(applyChange(history.undo(current), current), compareToneSettings(afterSlider, afterPreset) | DirtyBits::Output);
    expectSameValues(current, afterSlider);
    EXPECT_EQ(applyChange(history.undo(current), current), DirtyBits::Curve | DirtyBits::Output);
    expectSameValues(current, start);
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.undo(current));

    EXPECT_EQ(applyChange(history.redo(current), current), DirtyBits::Curve | DirtyBits::Output);
    EXPECT_EQ(current.Contrast, 80);
    applyChange(history.redo(current), current);
    applyChange(history.redo(current), current);
    expectSameValues(current, afterFile);
    EXPECT_FALSE(history.canRedo());
}

TEST(UndoHistory, UnchangedValuesRecordNothingAndANewStepDropsTheRedoSteps)
{
    UndoHistory history;
    ToneSettings current;
    ToneSettings renamed = current;
    renamed.name = "inna nazwa";
    history.record(current, renamed);
    history.beginGesture(current);
    history.endGesture(current);
    EXPECT_FALSE(history.canUndo());

    ToneSettings changed = current;
    changed.Details = 2;
    history.record(current, changed);
    applyChange(history.undo(changed), changed);
    EXPECT_TRUE(history.canRedo());
    ToneSettings other = changed;
    other.Mode = 8;
    history.record(changed, other);
    EXPECT_FALSE(history.canRedo());

    history.clear();
    EXPECT_FALSE(history.canUndo());
}

TEST(UndoHistory, UndoDuringADragUndoesTheWholeDrag)
{
    UndoHistory history;
    ToneSettings current;
    const ToneSettings start = current;
    history.beginGesture(current);
    current.Lightness = 90;
    EXPECT_EQ(applyChange(history.undo(current), current), DirtyBits::Light | DirtyBits::Output);
    expectSameValues(current, start);
    EXPECT_FALSE(history.gestureOpen());
}

}  // namespace
}  // namespace qv
