#include "ui/preset_organizer_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/preset_name_dialog.h"

namespace qv {

PresetOrganizerDialog::PresetOrganizerDialog(const UserPresetList& presets, QWidget* parent)
    : QDialog(parent), organizer_(presets), list_(new QListWidget)
{
    setWindowTitle(QStringLiteral("Organizuj ustawienia"));
    ask_ = [this](const std::string& current) { return PresetNameDialog::ask(this, current); };
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(list_, &QListWidget::itemSelectionChanged, this, &PresetOrganizerDialog::takeSelection);

    static const char* const kTexts[ButtonCount] = {"Zmień nazwę", "Usuń", "Usuń wszystkie", "Przesuń w górę",
                                                    "Przesuń w dół"};
    auto* column = new QVBoxLayout;
    for (int i = 0; i < ButtonCount; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(kTexts[i]));
        column->addWidget(buttons_[i]);
    }
    column->addStretch();
    connect(buttons_[Rename], &QPushButton::clicked, this, [this] {
        organizer_.renameSelected(ask_);
        fillList();
    });
    connect(buttons_[Remove], &QPushButton::clicked, this, [this] { act(&UserPresetOrganizer::removeSelected); });
    connect(buttons_[RemoveAll], &QPushButton::clicked, this, [this] { act(&UserPresetOrganizer::removeAll); });
    connect(buttons_[MoveUp], &QPushButton::clicked, this, [this] { act(&UserPresetOrganizer::moveUp); });
    connect(buttons_[MoveDown], &QPushButton::clicked, this, [this] { act(&UserPresetOrganizer::moveDown); });

    auto* row = new QHBoxLayout;
    row->addWidget(list_);
    row->addLayout(column);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(okCancelButtons(this));
    fillList();
}

void PresetOrganizerDialog::act(void (UserPresetOrganizer::*action)())
{
    (organizer_.*action)();
    fillList();
}

// Shows the organizer's items and selection.
void PresetOrganizerDialog::fillList()
{
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        for (const auto& item : organizer_.items()) {
            auto* row = new QListWidgetItem(QString::fromStdString(item.text), list_);
            row->setSelected(item.selected);
        }
    }
    updateButtons();
}

void PresetOrganizerDialog::takeSelection()
{
    for (int row = 0; row < list_->count(); ++row)
        organizer_.setSelected(static_cast<std::size_t>(row), list_->item(row)->isSelected());
    updateButtons();
}

void PresetOrganizerDialog::updateButtons()
{
    buttons_[Rename]->setEnabled(organizer_.canRename());
    buttons_[Remove]->setEnabled(organizer_.canRemove());
    buttons_[RemoveAll]->setEnabled(organizer_.canRemoveAll());
    buttons_[MoveUp]->setEnabled(organizer_.canMoveUp());
    buttons_[MoveDown]->setEnabled(organizer_.canMoveDown());
}

}  // namespace qv
