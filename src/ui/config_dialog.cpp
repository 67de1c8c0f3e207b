#include "ui/config_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"

namespace qv {

ConfigDialog::ConfigDialog(const AppConfig& config, QWidget* parent)
    : QDialog(parent), config_(config), chooser_(chooseEditorProgram)
{
    setWindowTitle(QStringLiteral("Konfiguracja"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(editorPage(), QStringLiteral("Zewnętrzny edytor"));
    tabs->addTab(rawPage(), QStringLiteral("RAW"));
    tabs->addTab(displayPage(), QStringLiteral("Wyświetlanie"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(okCancelButtons(this));
    updateEditorControls();
}

QWidget* ConfigDialog::editorPage()
{
    auto* page = new QWidget;
    defaultEditor_ = new QRadioButton(QStringLiteral("Domyślny program w Windows dla danego typu pliku (JPG, TIFF)"));
    chosenEditor_ = new QRadioButton(QStringLiteral("Wybrany program:"));
    editorPath_ = new QLineEdit(QString::fromStdString(config_.externalEditorPath));
    chooseButton_ = new QPushButton(QStringLiteral("Wybierz..."));
    (config_.externalEditor ? chosenEditor_ : defaultEditor_)->setChecked(true);
    connect(defaultEditor_, &QRadioButton::toggled, this, &ConfigDialog::updateEditorControls);
    connect(chosenEditor_, &QRadioButton::toggled, this, &ConfigDialog::updateEditorControls);
    connect(chooseButton_, &QPushButton::clicked, this, &ConfigDialog::chooseProgram);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(editorPath_);
    pathRow->addWidget(chooseButton_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(defaultEditor_);
    layout->addWidget(chosenEditor_);
    layout->addLayout(pathRow);
    layout->addStretch();
    return page;
}

QWidget* ConfigDialog::rawPage()
{
    auto* page = new QWidget;
    rawNoiseReduction_ = new QCheckBox(QStringLiteral("Wstępna redukcja szumu"));
    lightRecovery_ = new QCheckBox(QStringLiteral("Unikaj prześwietleń"));
    rawNoiseReduction_->setChecked(config_.rawNoiseReduction);
    lightRecovery_->setChecked(config_.lightRecovery);

    auto* whiteBalance = new QGroupBox(QStringLiteral("Balans bieli"));
    cameraWhiteBalance_ = new QRadioButton(QStringLiteral("Zapisany przez aparat"));
    autoWhiteBalance_ = new QRadioButton(QStringLiteral("Automatyczny"));
    (config_.rawAutoWhiteBalance ? autoWhiteBalance_ : cameraWhiteBalance_)->setChecked(true);
    auto* balanceLayout = new QVBoxLayout(whiteBalance);
    balanceLayout->addWidget(cameraWhiteBalance_);
    balanceLayout->addWidget(autoWhiteBalance_);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(rawNoiseReduction_);
    layout->addWidget(lightRecovery_);
    layout->addWidget(whiteBalance);
    layout->addStretch();
    return page;
}

QWidget* ConfigDialog::displayPage()
{
    auto* page = new QWidget;
    iccProfile_ = new QCheckBox(QStringLiteral("Użyj profilu ICC monitora"));
    iccProfile_->setChecked(config_.iccProfile);
    auto* note = new QLabel(QStringLiteral("Opcja zaawansowana. Włączenie może spowolnić wyświetlanie obrazu "
                                           "i reakcję interfejsu użytkownika."));
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(iccProfile_);
    layout->addWidget(note);
    layout->addStretch();
    return page;
}

void ConfigDialog::updateEditorControls()
{
    const bool chosen = chosenEditor_->isChecked();
    editorPath_->setEnabled(chosen);
    chooseButton_->setEnabled(chosen);
}

void ConfigDialog::chooseProgram()
{
    const QString path = chooser_(this, editorPath_->text());
    if (!path.isEmpty())
        editorPath_->setText(path);
}

AppConfig ConfigDialog::values() const
{
    AppConfig values = config_;
    values.externalEditor = chosenEditor_->isChecked();
    values.externalEditorPath = editorPath_->text().toStdString();
    values.rawNoiseReduction = rawNoiseReduction_->isChecked();
    values.rawAutoWhiteBalance = autoWhiteBalance_->isChecked();
    values.lightRecovery = lightRecovery_->isChecked();
    values.iccProfile = iccProfile_->isChecked();
    return values;
}

bool ConfigDialog::edit(AppConfig& config, QWidget* parent)
{
    ConfigDialog dialog(config, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    config = dialog.values();
    return true;
}

QString chooseEditorProgram(QWidget* parent, const QString& current)
{
    QFileDialog dialog(parent, QStringLiteral("Wybierz..."), QFileInfo(current).absolutePath());
    // Qt's own dialog, because only it can list executable files alone.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Pliki programów (*)"));
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    return chosen.isFile() && chosen.isExecutable() ? chosen.absoluteFilePath() : QString();
}

}  // namespace qv
