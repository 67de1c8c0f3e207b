#include "ui/export_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <algorithm>

#include "ui/export_rules.h"
#include "ui/window_controller.h"

namespace qv::ui {

namespace {

// The quality the slider can show: positions 4..10 in tens. A stored
// quality outside is taken as the end the slider shows, so that the file
// gets what the dialog showed.
constexpr int kLowestQuality = 40;
constexpr int kHighestQuality = 100;

const QStringList& typeFilters()
{
    static const QStringList filters{QStringLiteral("JPEG (*.jpg *.jpeg)"), QStringLiteral("TIFF 8-bit (*.tif *.tiff)"),
                                     QStringLiteral("TIFF 16-bit (*.tif *.tiff)")};
    return filters;
}

QString number(int value) { return QString::number(value); }

}  // namespace

CExportDialog::CExportDialog(const ExportRequest& request, QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Zapisz jako...")), fullWidth_(request.fullWidth),
      fullHeight_(request.fullHeight),
      jpegQuality_(std::clamp(request.preset.jpegQuality, kLowestQuality, kHighestQuality)),
      type_(request.preset.type)
{
    // Qt's own dialog: the options panel is part of it.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters(typeFilters());
    selectNameFilter(typeFilters()[static_cast<int>(type_) - 1]);
    // A name typed without extension gets the type's.
    setDefaultSuffix(QString::fromLatin1(extensionFor(type_) + 1));
    selectFile(QString::fromStdString(request.suggestedPath));

    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(makePanel(), grid->rowCount(), 0, 1, grid->columnCount());

    const ExportSize size = {std::min(request.preset.width, fullWidth_), std::min(request.preset.height, fullHeight_)};
    width_->setText(number(size.width));
    height_->setText(number(size.height));
    resize_->setChecked(request.preset.resize);
    applyEnabling();
    connect(this, &QFileDialog::filterSelected, this, &CExportDialog::typeChanged);
}

QWidget* CExportDialog::makePanel()
{
    auto* panel = new QGroupBox(QStringLiteral("Opcje zapisu"));
    auto* grid = new QGridLayout(panel);

    quality_ = new QSlider(Qt::Horizontal);
    quality_->setRange(kLowestQuality / 10, kHighestQuality / 10);
    quality_->setPageStep(1);
    quality_->setTickInterval(1);
    quality_->setTickPosition(QSlider::TicksBelow);
    quality_->setValue(jpegQuality_ / 10);
    qualityValue_ = new QLabel(number(quality_->value()));
    connect(quality_, &QSlider::valueChanged, this, [this](int position) {
        jpegQuality_ = position * 10;
        qualityValue_->setText(number(position));
    });

    resize_ = new QCheckBox(QStringLiteral("Zmień rozmiar"));
    connect(resize_, &QCheckBox::toggled, this, &CExportDialog::applyEnabling);
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), this);
    width_ = new QLineEdit;
    height_ = new QLineEdit;
    for (QLineEdit* edit : {width_, height_}) {
        edit->setValidator(digits);
        edit->setMaximumWidth(90);
    }
    connect(width_, &QLineEdit::editingFinished, this, [this] { sizeEdited(true); });
    connect(height_, &QLineEdit::editingFinished, this, [this] { sizeEdited(false); });

    grid->addWidget(new QLabel(QStringLiteral("Jakość JPEG")), 0, 1);
    grid->addWidget(quality_, 0, 2, 1, 2);
    grid->addWidget(qualityValue_, 0, 4);
    grid->addWidget(resize_, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Szerokość")), 1, 1);
    grid->addWidget(width_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("pikseli")), 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Wysokość")), 2, 1);
    grid->addWidget(height_, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("pikseli")), 2, 3);
    grid->setColumnStretch(3, 1);
    return panel;
}

QString CExportDialog::fileNameText() const
{
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

void CExportDialog::typeChanged(const QString& filter)
{
    const int index = typeFilters().indexOf(filter);
    if (index < 0)
        return;
    type_ = static_cast<SaveFileType>(index + 1);
    setDefaultSuffix(QString::fromLatin1(extensionFor(type_) + 1));
    if (const QString name = fileNameText(); !name.isEmpty())
        selectFile(QString::fromStdString(withExtensionFor(name.toStdString(), type_)));
    applyEnabling();
}

void CExportDialog::sizeEdited(bool widthEdited)
{
    const int width = leadingNumber(width_->text().toStdString());
    const int height = leadingNumber(height_->text().toStdString());
    const ExportSize size = widthEdited ? sizeAfterWidthEdit(width, fullWidth_, fullHeight_)
                                        : sizeAfterHeightEdit(height, fullWidth_, fullHeight_);
    width_->setText(number(size.width));
    height_->setText(number(size.height));
}

void CExportDialog::applyEnabling()
{
    const bool jpeg = type_ == SaveFileType::Jpeg;
    quality_->setEnabled(jpeg);
    qualityValue_->setEnabled(jpeg);
    width_->setEnabled(resize_->isChecked());
    height_->setEnabled(resize_->isChecked());
}

SaveOptions CExportDialog::options() const
{
    SaveOptions o;
    const QStringList files = selectedFiles();
    o.path = files.isEmpty() ? std::string() : files.first().toStdString();
    o.type = type_;
    o.jpegQuality = jpegQuality_;
    o.resize = resize_->isChecked();
    // Whatever the boxes hold last: a size they cannot give is the full size.
    const ExportSize size = checkedExportSize(leadingNumber(width_->text().toStdString()),
                                              leadingNumber(height_->text().toStdString()), fullWidth_, fullHeight_);
    o.width = size.width;
    o.height = size.height;
    return o;
}

}  // namespace qv::ui
