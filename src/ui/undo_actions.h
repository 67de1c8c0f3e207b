#pragma once

#include <QObject>
#include <functional>

#include "settings/undo_history.h"

class QAction;

namespace qv {

// "Cofnij" (Ctrl+Z) and "Ponów" (Ctrl+Shift+Z, Ctrl+Y) for the "Ustawienia"
// menu, over the window's undo history. A triggered action hands the record
// to go back (or forward) to, with its dirty bits, to `apply`, which puts it
// in place the way every whole record is applied but without recording a
// new step.
class UndoActions : public QObject {
public:
    using ApplyChange = std::function<void(const ToneChange& change)>;
    // The current record, read when an action is triggered.
    using CurrentRecord = std::function<const ToneSettings&()>;

    UndoActions(UndoHistory& history, CurrentRecord current, ApplyChange apply, QObject* parent = nullptr);

    QAction* undoAction() const { return undo_; }
    QAction* redoAction() const { return redo_; }

    // Enables each action when it has a step and `allowed` holds (an image
    // is loaded and no dialog is in the way); call after every change.
    void update(bool allowed = true);

private:
    void run(std::optional<ToneChange> (UndoHistory::*step)(const ToneSettings&));

    UndoHistory& history_;
    CurrentRecord current_;
    ApplyChange apply_;
    QAction* undo_;
    QAction* redo_;
    bool allowed_ = true;
};

}  // namespace qv
