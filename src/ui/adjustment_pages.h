#pragma once

#include <QTabWidget>
#include <vector>

#include "settings/tone_settings.h"

class QComboBox;
class QLabel;
class QSlider;

namespace qv::ui {

struct PageControl;
class WindowController;

// The three tabs "Krok 1".."Krok 3", built from the table of page controls:
// each slider, the colour list and the radius buttons with their captions
// and value labels. Input goes to the controller; sync() shows its values.
class AdjustmentPages : public QTabWidget {
    Q_OBJECT
public:
    AdjustmentPages(WindowController& controller, QWidget* parent = nullptr);

    // Positions, value labels and enabling from the record.
    void sync(const ToneSettings& tone, bool imageLoaded);

    QSlider* slider(uint16_t ToneSettings::*field) const;
    QLabel* valueLabel(uint16_t ToneSettings::*field) const;
    QComboBox* modeList() const { return modeList_; }

signals:
    // Right-click on a page, at a global position.
    void contextMenuWanted(const QPoint& globalPosition);

private:
    struct Row {
        const PageControl* control;
        QWidget* input;  // slider, list or the radius buttons' box
        QLabel* value;   // nullptr for the colour list
    };
    QWidget* makeInput(const PageControl& control, QLabel* value);
    const Row* rowFor(uint16_t ToneSettings::*field) const;

    WindowController& controller_;
    std::vector<Row> rows_;
    QComboBox* modeList_ = nullptr;
};

}  // namespace qv::ui
