#pragma once

#include <QDialog>
#include <functional>

#include "settings/app_config.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qv {

// "Konfiguracja": the external editor, the RAW decoding options and the
// monitor profile, on three pages. The dialog edits a copy; the caller takes
// values() over only when it was closed with OK, so "Anuluj" drops the
// changes of every page.
class ConfigDialog : public QDialog {
public:
    // Asks for an editor program, proposing the current path; empty when the
    // user chose nothing.
    using ProgramChooser = std::function<QString(QWidget* parent, const QString& current)>;

    explicit ConfigDialog(const AppConfig& config, QWidget* parent = nullptr);

    // The configuration given with the six options as the pages show them.
    AppConfig values() const;
    // Replaces the file dialog behind "Wybierz..." (for tests).
    void setProgramChooser(ProgramChooser chooser) { chooser_ = std::move(chooser); }

    // Runs the dialog modally on `config`; on OK the options are taken over.
    // True when they were.
    static bool edit(AppConfig& config, QWidget* parent);

private:
    QWidget* editorPage();
    QWidget* rawPage();
    QWidget* displayPage();
    void updateEditorControls();
    void chooseProgram();

    AppConfig config_;
    ProgramChooser chooser_;
    QRadioButton* defaultEditor_ = nullptr;
    QRadioButton* chosenEditor_ = nullptr;
    QLineEdit* editorPath_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QCheckBox* rawNoiseReduction_ = nullptr;
    QCheckBox* lightRecovery_ = nullptr;
    QRadioButton* cameraWhiteBalance_ = nullptr;
    QRadioButton* autoWhiteBalance_ = nullptr;
    QCheckBox* iccProfile_ = nullptr;
};

// The file dialog of "Wybierz...": an existing executable file.
QString chooseEditorProgram(QWidget* parent, const QString& current);

}  // namespace qv
