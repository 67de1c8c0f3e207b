#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace qv::ui {

class EngineSession;

// The modal window of a long load or save (or of the run a save waits
// for): the path being worked on, the percentage and "Przerwij". Closes by itself (accepted) when the thread
// ends; "Przerwij" rejects it.
class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    CProgressDialog(EngineSession& session, QWidget* parent = nullptr);

private:
    void tick();

    EngineSession& session_;
    QLabel* text_;
    QProgressBar* bar_;
    QTimer timer_;
    int shownPercent_ = -1;
    std::string shownText_;
};

}  // namespace qv::ui
