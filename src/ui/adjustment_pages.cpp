#include "ui/adjustment_pages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include "ui/page_controls.h"
#include "ui/window_controller.h"

namespace qv::ui {

AdjustmentPages::AdjustmentPages(WindowController& controller, QWidget* parent)
    : QTabWidget(parent), controller_(controller)
{
    QGridLayout* layouts[kPageCount];
    for (int page = 0; page < kPageCount; ++page) {
        auto* widget = new QWidget;
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this,
                [this, widget](const QPoint& p) { emit contextMenuWanted(widget->mapToGlobal(p)); });
        layouts[page] = new QGridLayout(widget);
        layouts[page]->setVerticalSpacing(2);
        layouts[page]->setColumnStretch(0, 1);
        addTab(widget, QString::fromUtf8(kPageTitles[page]));
    }
    for (const PageControl& control : pageControls()) {
        QGridLayout* grid = layouts[control.page];
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QString::fromUtf8(control.caption)), row, 0);
        QLabel* value = nullptr;
        if (control.kind != ControlKind::ModeList) {
            value = new QLabel;
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(value, row, 1);
        }
        QWidget* input = makeInput(control, value);
        grid->addWidget(input, row + 1, 0, 1, 2);
        grid->setRowMinimumHeight(row + 2, 6);
        rows_.push_back({&control, input, value});
    }
    for (QGridLayout* grid : layouts)
        grid->setRowStretch(grid->rowCount(), 1);
}

QWidget* AdjustmentPages::makeInput(const PageControl& control, QLabel* value)
{
    switch (control.kind) {
    case ControlKind::Slider: {
        auto* slider = new QSlider(Qt::Horizontal);
        slider->setRange(control.min, control.max);
        slider->setPageStep(control.pageStep);
        slider->setTickInterval(control.pageStep);
        slider->setTickPosition(QSlider::TicksBelow);
        connect(slider, &QSlider::valueChanged, this, [this, &control, slider, value](int v) {
            value->setText(QString::fromStdString(ui::valueLabel(control, v)));
            controller_.controlMoved(control, v, slider->isSliderDown() ? SliderPhase::Dragging : SliderPhase::Step);
        });
        connect(slider, &QSlider::sliderReleased, this,
                [this, &control, slider] { controller_.controlMoved(control, slider->value(), SliderPhase::Released); });
        return slider;
    }
    case ControlKind::ModeList: {
        modeList_ = new QComboBox;
        for (const ModeItem& item : modeItems())
            modeList_->addItem(QString::fromUtf8(item.text));
        connect(modeList_, &QComboBox::activated, this,
                [this](int index) { controller_.modeSelected(modeItems()[static_cast<std::size_t>(index)].mode); });
        return modeList_;
    }
    case ControlKind::RadiusSpin: {
        auto* box = new QWidget;
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addStretch();
        for (int delta : {-1, +1}) {
            auto* button = new QToolButton;
            button->setArrowType(delta < 0 ? Qt::LeftArrow : Qt::RightArrow);
            button->setAutoRepeat(true);
            connect(button, &QToolButton::clicked, this, [this, delta] { controller_.radiusPressed(delta); });
            layout->addWidget(button);
        }
        return box;
    }
    }
    return nullptr;
}

void AdjustmentPages::sync(const ToneSettings& tone, bool imageLoaded)
{
    for (const Row& row : rows_) {
        const PageControl& control = *row.control;
        const int value = tone.*control.field;
        if (auto* slider = qobject_cast<QSlider*>(row.input)) {
            const QSignalBlocker blocker(slider);
            slider->setValue(value);
        } else if (row.input == modeList_) {
            // A mode no item carries leaves the selection as it is.
            if (const int index = modeItemIndex(tone.Mode); index >= 0) {
                const QSignalBlocker blocker(modeList_);
                modeList_->setCurrentIndex(index);
            }
        }
        if (row.value)
            row.value->setText(QString::fromStdString(ui::valueLabel(control, value)));
        const bool enabled = controlEnabled(control, imageLoaded, tone.Mode);
        row.input->setEnabled(enabled);
        if (row.value)
            row.value->setEnabled(enabled);
    }
}

const AdjustmentPages::Row* AdjustmentPages::rowFor(uint16_t ToneSettings::*field) const
{
    for (const Row& row : rows_)
        if (row.control->field == field)
            return &row;
    return nullptr;
}

QSlider* AdjustmentPages::slider(uint16_t ToneSettings::*field) const
{
    const Row* row = rowFor(field);
    return row ? qobject_cast<QSlider*>(row->input) : nullptr;
}

QLabel* AdjustmentPages::valueLabel(uint16_t ToneSettings::*field) const
{
    const Row* row = rowFor(field);
    return row ? row->value : nullptr;
}

}  // namespace qv::ui
