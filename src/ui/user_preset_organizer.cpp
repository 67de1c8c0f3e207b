#include "ui/user_preset_organizer.h"

#include <algorithm>
#include <utility>

namespace qv {

UserPresetOrganizer::UserPresetOrganizer(const UserPresetList& presets)
{
    for (std::size_t i = 0; i < presets.size(); ++i)
        items_.push_back({i, presets[i].name});
}

void UserPresetOrganizer::setSelected(std::size_t row, bool selected)
{
    if (row < items_.size())
        items_[row].selected = selected;
}

std::size_t UserPresetOrganizer::selectedCount() const
{
    return static_cast<std::size_t>(std::count_if(items_.begin(), items_.end(), [](const Item& i) { return i.selected; }));
}

std::optional<std::size_t> UserPresetOrganizer::soleSelection() const
{
    if (selectedCount() != 1)
        return std::nullopt;
    return static_cast<std::size_t>(
        std::find_if(items_.begin(), items_.end(), [](const Item& i) { return i.selected; }) - items_.begin());
}

bool UserPresetOrganizer::canMoveUp() const
{
    const auto row = soleSelection();
    return row && *row > 0;
}

bool UserPresetOrganizer::canMoveDown() const
{
    const auto row = soleSelection();
    return row && *row + 1 < items_.size();
}

void UserPresetOrganizer::renameSelected(const NameAsker& ask)
{
    for (Item& item : items_) {
        if (!item.selected)
            continue;
        if (const auto name = ask(item.text))
            item.text = truncatePresetName(*name);
    }
}

void UserPresetOrganizer::removeSelected()
{
    std::erase_if(items_, [](const Item& i) { return i.selected; });
}

void UserPresetOrganizer::removeAll() { items_.clear(); }

void UserPresetOrganizer::moveUp()
{
    if (canMoveUp()) {
        const std::size_t row = *soleSelection();
        std::swap(items_[row - 1], items_[row]);
    }
}

void UserPresetOrganizer::moveDown()
{
    if (canMoveDown()) {
        const std::size_t row = *soleSelection();
        std::swap(items_[row], items_[row + 1]);
    }
}

UserPresetList UserPresetOrganizer::committed(const UserPresetList& presets) const
{
    UserPresetList result;
    for (const Item& item : items_) {
        ToneSettings preset = presets.at(item.entry);
        preset.name = item.text;
        result.push_back(std::move(preset));
    }
    return result;
}

}  // namespace qv
