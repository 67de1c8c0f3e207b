#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/window_controller.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;

namespace qv::ui {

class AdjustmentPages;
class CImageView;

// The program's main window: the image, the three adjustment pages, the
// process button with "Auto Start", two panel places, the zoom, the menus
// and the four-pane status bar. It shows the controller's state and passes
// input on; the decisions are the controller's.
class CMainDialog : public QMainWindow, private WindowHost {
    Q_OBJECT
public:
    CMainDialog(QWidget* parent = nullptr);
    ~CMainDialog() override;

    WindowController& controller() { return controller_; }
    // Files to open once the window is shown (the command line's).
    void setPendingOpen(std::vector<std::string> files) { pendingOpen_ = std::move(files); }

    // Places and hooks for the parts that come with later work: the display
    // panels, the user presets menu, and the actions of the configuration,
    // about and update-check commands (connected by whoever provides them).
    QFrame* thumbnailPanelPlace() const { return thumbnailPlace_; }
    QFrame* histogramPanelPlace() const { return histogramPlace_; }
    QMenu* userPresetsMenu() const { return userPresetsMenu_; }
    QAction* action(Command command) const;
    // Redraws the display panels after a run; true when they were drawn.
    std::function<bool()> redrawPanels;

    // Parts reached by tests and the benchmark.
    CImageView* imageView() const { return view_; }
    AdjustmentPages* pages() const { return pages_; }
    QPushButton* processButton() const { return processButton_; }
    QCheckBox* autoStartBox() const { return autoStart_; }
    QSlider* zoomSlider() const { return zoomSlider_; }
    QLabel* statusPane(int pane) const { return panes_[pane]; }
    void dropFiles(const std::vector<std::string>& files);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // WindowHost
    void showStatus(const StatusView& view) override;
    void showPane(int pane, const std::string& text) override;
    bool waitForWorker(WorkerKind kind, EngineSession& session) override;
    Answer ask(const std::string& question) override;
    void showError(const std::string& text) override;
    void syncControls() override;
    void refreshView() override;
    void setWaitCursor(bool on) override;
    void commandsChanged() override { updateCommands(); }
    std::optional<SaveOptions> chooseExport(const ExportRequest& request) override;
    void openInEditor(const std::string& path, const std::string& program) override;

    void buildCentre();
    void buildStatusBar();
    void buildMenus();
    QAction* addCommand(QMenu* menu, Command command, const char* text, const QKeySequence& keys,
                        std::function<void()> handler);
    void fillRecentFiles();
    void updateCommands();
    void chooseAndOpen(bool several);
    void loadSettingsFile();
    void saveSettingsFile();
    // The zoom slider and label follow the zoom index.
    void showZoom();
    void stepZoom(int step);
    void zoomChanged(int index);

    WindowController controller_;
    CImageView* view_ = nullptr;
    AdjustmentPages* pages_ = nullptr;
    QPushButton* processButton_ = nullptr;
    QCheckBox* autoStart_ = nullptr;
    QFrame* thumbnailPlace_ = nullptr;
    QFrame* histogramPlace_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    QLabel* panes_[4] = {};
    QProgressBar* progress_ = nullptr;
    QMenu* imageMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    QMenu* userPresetsMenu_ = nullptr;
    QActionGroup* previewGroup_ = nullptr;
    std::vector<QAction*> recentActions_;
    QAction* recentSeparator_ = nullptr;
    std::map<Command, std::vector<QAction*>> actions_;
    QTimer progressTimer_;
    std::vector<std::string> pendingOpen_;
    std::vector<std::string> openFilters_;
    bool shownOnce_ = false;
    int wheelAngle_ = 0;  // wheel turn not yet a whole notch
};

}  // namespace qv::ui
