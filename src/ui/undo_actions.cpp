#include "ui/undo_actions.h"

#include <QAction>

namespace qv {

UndoActions::UndoActions(UndoHistory& history, CurrentRecord current, ApplyChange apply, QObject* parent)
    : QObject(parent),
      history_(history),
      current_(std::move(current)),
      apply_(std::move(apply)),
      undo_(new QAction(QStringLiteral("Cofnij"), this)),
      redo_(new QAction(QStringLiteral("Ponów"), this))
{
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(undo_, &QAction::triggered, this, [this] { run(&UndoHistory::undo); });
    connect(redo_, &QAction::triggered, this, [this] { run(&UndoHistory::redo); });
    update();
}

void UndoActions::update(bool allowed)
{
    allowed_ = allowed;
    undo_->setEnabled(allowed && history_.canUndo());
    redo_->setEnabled(allowed && history_.canRedo());
}

void UndoActions::run(std::optional<ToneChange> (UndoHistory::*step)(const ToneSettings&))
{
    if (!allowed_)
        return;
    if (const auto change = (history_.*step)(current_()))
        apply_(*change);
    update(allowed_);
}

}  // namespace qv
