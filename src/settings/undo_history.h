#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "settings/tone_change.h"
#include "settings/tone_settings.h"

namespace qv {

// Undo and redo of the current tone record. Each change of the record is one
// step; a slider dragged through many live values is one step too: the
// gesture opens with the record before it and closes with the record after,
// and the changes in between are not recorded. Only values count; names are
// not part of a step.
class UndoHistory {
public:
    // Steps kept; the oldest go first beyond this.
    static constexpr std::size_t kDepth = 500;

    // One change from `before` to `after`; nothing when their values are
    // equal, or while a gesture is open. A new step drops the redo steps.
    void record(const ToneSettings& before, const ToneSettings& after);

    // A gesture (a slider drag) starts from `before`; until it ends, record()
    // ignores the live changes. A second begin while one is open keeps the first.
    void beginGesture(const ToneSettings& before);
    // Ends the gesture at `after`: one step when anything changed.
    void endGesture(const ToneSettings& after);
    bool gestureOpen() const { return gestureStart_.has_value(); }

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }

    // The record to put in place of `current` and the dirty bits that sets;
    // nothing when there is no step. `current` becomes the step to go back to.
    // An open gesture is ended at `current` first, so it is undone as a whole.
    std::optional<ToneChange> undo(const ToneSettings& current);
    std::optional<ToneChange> redo(const ToneSettings& current);

    // Forgets every step (another image was opened).
    void clear();

private:
    static std::optional<ToneChange> step(std::vector<ToneSettings>& from, std::vector<ToneSettings>& to,
                                          const ToneSettings& current);

    std::vector<ToneSettings> undo_;
    std::vector<ToneSettings> redo_;
    std::optional<ToneSettings> gestureStart_;
};

}  // namespace qv
