#include "ui/preset_name_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/user_presets.h"
#include "ui/dialog_buttons.h"

namespace qv {

PresetNameDialog::PresetNameDialog(const std::string& proposal, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(QString::fromStdString(proposal)))
{
    setWindowTitle(QStringLiteral("Wprowadź nazwę ustawienia"));
    QDialogButtonBox* buttons = okCancelButtons(this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(edit_, &QLineEdit::textChanged, this, &PresetNameDialog::updateOk);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    edit_->selectAll();
    updateOk();
}

std::string PresetNameDialog::name() const { return edit_->text().toStdString(); }

void PresetNameDialog::updateOk()
{
    const std::size_t length = presetNameLength(name());
    ok_->setEnabled(length >= 1 && length <= kMaxPresetNameLength);
}

std::optional<std::string> PresetNameDialog::ask(QWidget* parent, const std::string& proposal)
{
    PresetNameDialog dialog(proposal, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.name();
}

}  // namespace qv
