#pragma once

#include <QDialog>

#include "ui/user_preset_organizer.h"

class QListWidget;
class QPushButton;

namespace qv {

// "Organizuj ustawienia": the preset names in a multiple-selection list with
// the buttons that rename, remove and move them. The list is the
// organizer's; the buttons follow its rules after every action and
// selection change.
class PresetOrganizerDialog : public QDialog {
public:
    PresetOrganizerDialog(const UserPresetList& presets, QWidget* parent = nullptr);

    // Replaces the name dialog of "Zmień nazwę" (for tests).
    void setNameAsker(UserPresetOrganizer::NameAsker ask) { ask_ = std::move(ask); }
    const UserPresetOrganizer& organizer() const { return organizer_; }
    QListWidget* list() const { return list_; }

    enum Button { Rename, Remove, RemoveAll, MoveUp, MoveDown, ButtonCount };
    QPushButton* button(Button which) const { return buttons_[which]; }

private:
    void fillList();
    void takeSelection();
    void updateButtons();
    void act(void (UserPresetOrganizer::*action)());

    UserPresetOrganizer organizer_;
    UserPresetOrganizer::NameAsker ask_;
    QListWidget* list_;
    QPushButton* buttons_[ButtonCount];
};

}  // namespace qv
