#include "settings/undo_history.h"

namespace qv {

namespace {

// The record's values without its name.
ToneSettings valuesOf(const ToneSettings& record)
{
    ToneSettings values;
    copyToneValues(record, values);
    return values;
}

}  // namespace

void UndoHistory::record(const ToneSettings& before, const ToneSettings& after)
{
    if (gestureStart_ || sameToneValues(before, after))
        return;
    if (undo_.size() == kDepth)
        undo_.erase(undo_.begin());
    undo_.push_back(valuesOf(before));
    redo_.clear();
}

void UndoHistory::beginGesture(const ToneSettings& before)
{
    if (!gestureStart_)
        gestureStart_ = valuesOf(before);
}

void UndoHistory::endGesture(const ToneSettings& after)
{
    if (!gestureStart_)
        return;
    const ToneSettings before = *gestureStart_;
    gestureStart_.reset();
    record(before, after);
}

std::optional<ToneChange> UndoHistory::undo(const ToneSettings& current)
{
    endGesture(current);
    return step(undo_, redo_, current);
}

std::optional<ToneChange> UndoHistory::redo(const ToneSettings& current)
{
    endGesture(current);
    return step(redo_, undo_, current);
}

std::optional<ToneChange> UndoHistory::step(std::vector<ToneSettings>& from, std::vector<ToneSettings>& to,
                                            const ToneSettings& current)
{
    if (from.empty())
        return std::nullopt;
    ToneChange change = wholeRecordChange(from.back(), current);
    change.record.name = current.name;
    from.pop_back();
    to.push_back(valuesOf(current));
    return change;
}

void UndoHistory::clear()
{
    undo_.clear();
    redo_.clear();
    gestureStart_.reset();
}

}  // namespace qv
