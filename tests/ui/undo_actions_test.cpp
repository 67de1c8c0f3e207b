#include "ui/undo_actions.h"

#include <gtest/gtest.h>

#include <QAction>

#include "support/qt_application.h"

namespace qv {
namespace {

TEST(UndoActions, ShortcutsEnablingAndTheAppliedRecord)
{
    test::qtApplication();
    UndoHistory history;
    ToneSettings current;
    std::vector<uint32_t> applied;
    UndoActions actions(
        history, [&]() -> const ToneSettings& { return current; },
        [&](const ToneChange& change) {
            copyToneValues(change.record, current);
            applied.push_back(change.dirtyBits);
        });
    EXPECT_EQ(actions.undoAction()->text(), "Cofnij");
    EXPECT_EQ(actions.undoAction()->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(actions.redoAction()->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));
    EXPECT_FALSE(actions.undoAction()->isEnabled());

    const ToneSettings before = current;
    current.Smoothing = 4;
    history.record(before, current);
    actions.update(false);
    EXPECT_FALSE(actions.undoAction()->isEnabled());
    actions.update();
    actions.undoAction()->trigger();
    EXPECT_EQ(current.Smoothing, 0);
    EXPECT_FALSE(actions.undoAction()->isEnabled());
    EXPECT_TRUE(actions.redoAction()->isEnabled());
    actions.redoAction()->trigger();
    EXPECT_EQ(current.Smoothing, 4);
    EXPECT_EQ(applied, (std::vector<uint32_t>{DirtyBits::Smoothing | DirtyBits::Output,
                                              DirtyBits::Smoothing | DirtyBits::Output}));
}

}  // namespace
}  // namespace qv
