#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace qv {

// "Wprowadź nazwę ustawienia": one name, "OK" enabled only while it has 1 to
// 30 characters.
class PresetNameDialog : public QDialog {
public:
    PresetNameDialog(const std::string& proposal, QWidget* parent = nullptr);

    std::string name() const;
    QLineEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }

    // Runs the dialog; the name on OK, else nothing.
    static std::optional<std::string> ask(QWidget* parent, const std::string& proposal);

private:
    void updateOk();

    QLineEdit* edit_;
    QPushButton* ok_;
};

}  // namespace qv
