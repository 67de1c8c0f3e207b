#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/user_presets.h"

namespace qv {

// What "Organizuj ustawienia" works on: a copy of the preset names, each item
// remembering its entry, with the list's selection. Renaming, removing and
// moving change only this copy; committed() makes the new preset list.
class UserPresetOrganizer {
public:
    struct Item {
        std::size_t entry;  // index into the list the organizer was made from
        std::string text;
        bool selected = false;
    };
    // Asks for a new name, proposing the current one; nothing when cancelled.
    using NameAsker = std::function<std::optional<std::string>(const std::string& current)>;

    explicit UserPresetOrganizer(const UserPresetList& presets);

    const std::vector<Item>& items() const { return items_; }
    void setSelected(std::size_t row, bool selected);

    bool canRename() const { return selectedCount() > 0; }
    bool canRemove() const { return selectedCount() > 0; }
    bool canRemoveAll() const { return !items_.empty(); }
    bool canMoveUp() const;
    bool canMoveDown() const;

    // Every selected item in list order gets a name asked for; a given name is
    // cut to the longest a preset name may be.
    void renameSelected(const NameAsker& ask);
    void removeSelected();
    void removeAll();
    // The one selected item moves one place and stays selected.
    void moveUp();
    void moveDown();

    // The presets in the organizer's order, named by its items; entries no
    // longer present are gone.
    UserPresetList committed(const UserPresetList& presets) const;

private:
    std::size_t selectedCount() const;
    // The row of the only selected item, if exactly one is.
    std::optional<std::size_t> soleSelection() const;

    std::vector<Item> items_;
};

}  // namespace qv
