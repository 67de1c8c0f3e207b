#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "settings/tone_change.h"
#include "settings/user_presets.h"

class QAction;
class QMenu;
class QWidget;

namespace qv {

// What the "Użytkownika" sub-menu needs from the main window.
class UserPresetsHost {
public:
    virtual ~UserPresetsHost() = default;
    virtual bool imageLoaded() const = 0;
    virtual const ToneSettings& currentRecord() const = 0;
    // The name of the open image (its file name, or the combined name of a merge).
    virtual std::string imageName() const = 0;
    // Puts a whole record in place of the current one, as every preset is applied.
    virtual void applyToneChange(const ToneChange& change) = 0;
};

// The "Użytkownika" sub-menu: "Dodaj", "Organizuj", a separator, then one
// item per user preset, or the disabled placeholder "Ustawienia" while there
// is none. Its items are made afresh each time it opens. The preset list is
// the caller's; "Dodaj" and the organizer's "OK" change it.
class UserPresetsMenu : public QObject {
public:
    // Asks for a preset name, proposing one; nothing when cancelled.
    using NameAsker = std::function<std::optional<std::string>(QWidget* parent, const std::string& proposal)>;

    UserPresetsMenu(UserPresetList& presets, UserPresetsHost& host, QWidget* dialogParent);
    ~UserPresetsMenu() override;

    QMenu* menu() const { return menu_; }
    QAction* addAction() const { return add_; }
    QAction* organizeAction() const { return organize_; }
    // Replaces the name dialog of "Dodaj" (for tests).
    void setNameAsker(NameAsker ask) { ask_ = std::move(ask); }

    // Rebuilds the items from the list; done whenever the menu is about to open.
    void rebuild();
    // "Dodaj": a copy of the current record under a name asked for.
    void addPreset();
    // "Organizuj": the organizer, its result taken over on "OK".
    void organize();
    // Applies entry `index`; nothing without an image or beyond the list.
    void applyPreset(std::size_t index);

private:
    UserPresetList& presets_;
    UserPresetsHost& host_;
    QWidget* dialogParent_;
    NameAsker ask_;
    QMenu* menu_;
    QAction* add_;
    QAction* organize_;
    QAction* placeholder_;
};

}  // namespace qv
