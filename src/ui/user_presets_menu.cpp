#include "ui/user_presets_menu.h"

#include <QAction>
#include <QMenu>

#include "ui/preset_name_dialog.h"
#include "ui/preset_organizer_dialog.h"

namespace qv {

UserPresetsMenu::UserPresetsMenu(UserPresetList& presets, UserPresetsHost& host, QWidget* dialogParent)
    : presets_(presets),
      host_(host),
      dialogParent_(dialogParent),
      ask_(PresetNameDialog::ask),
      menu_(new QMenu(QStringLiteral("Użytkownika")))
{
    add_ = menu_->addAction(QStringLiteral("Dodaj"), this, &UserPresetsMenu::addPreset);
    organize_ = menu_->addAction(QStringLiteral("Organizuj"), this, &UserPresetsMenu::organize);
    menu_->addSeparator();
    placeholder_ = menu_->addAction(QStringLiteral("Ustawienia"));
    connect(menu_, &QMenu::aboutToShow, this, &UserPresetsMenu::rebuild);
    rebuild();
}

UserPresetsMenu::~UserPresetsMenu() { delete menu_; }

void UserPresetsMenu::rebuild()
{
    const QList<QAction*> actions = menu_->actions();
    for (QAction* action : actions)
        if (action != add_ && action != organize_ && action != placeholder_ && !action->isSeparator())
            delete action;

    const bool loaded = host_.imageLoaded();
    add_->setEnabled(loaded);
    organize_->setEnabled(!presets_.empty());
    placeholder_->setEnabled(false);
    placeholder_->setVisible(presets_.empty());
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        // A "&" in a name is shown, not taken as the item's shortcut letter.
        const QString text = QString::fromStdString(presets_[i].name).replace(u'&', QStringLiteral("&&"));
        QAction* item = menu_->addAction(text, this, [this, i] { applyPreset(i); });
        item->setEnabled(loaded);
    }
}

void UserPresetsMenu::addPreset()
{
    if (!host_.imageLoaded() || !canAddUserPreset(presets_))
        return;
    if (const auto name = ask_(dialogParent_, proposedPresetName(host_.imageName())))
        addUserPreset(presets_, host_.currentRecord(), *name);
}

void UserPresetsMenu::organize()
{
    if (presets_.empty())
        return;
    PresetOrganizerDialog dialog(presets_, dialogParent_);
    if (dialog.exec() == QDialog::Accepted)
        presets_ = dialog.organizer().committed(presets_);
}

void UserPresetsMenu::applyPreset(std::size_t index)
{
    if (!host_.imageLoaded())
        return;
    if (const auto change = userPresetChange(presets_, index, host_.currentRecord()))
        host_.applyToneChange(*change);
}

}  // namespace qv
