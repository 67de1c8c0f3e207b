#pragma once

#include <QFileDialog>

#include "imageio/save_options.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace qv::ui {

struct ExportRequest;

// "Zapisz jako...": Qt's save dialog with the export options below it: JPEG
// quality, an optional smaller size, and the type list that decides the
// format written (the extension typed does not).
class CExportDialog : public QFileDialog {
    Q_OBJECT
public:
    CExportDialog(const ExportRequest& request, QWidget* parent = nullptr);

    // The choice after the dialog was accepted.
    SaveOptions options() const;

    // The panel's parts, for tests.
    QSlider* qualitySlider() const { return quality_; }
    QLabel* qualityLabel() const { return qualityValue_; }
    QCheckBox* resizeBox() const { return resize_; }
    QLineEdit* widthEdit() const { return width_; }
    QLineEdit* heightEdit() const { return height_; }
    SaveFileType fileType() const { return type_; }
    // The text of the name box.
    QString fileNameText() const;

private:
    QWidget* makePanel();
    void typeChanged(const QString& filter);
    void sizeEdited(bool widthEdited);
    void applyEnabling();

    int fullWidth_;
    int fullHeight_;
    int jpegQuality_;
    SaveFileType type_;
    QSlider* quality_ = nullptr;
    QLabel* qualityValue_ = nullptr;
    QCheckBox* resize_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* height_ = nullptr;
};

}  // namespace qv::ui
