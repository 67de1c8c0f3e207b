#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/user_presets_menu.h"
#include "ui/window_controller.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;

namespace qv {
class MonitorProfile;
class PicturePanel;
class UndoActions;
}

namespace qv::ui {

class AdjustmentPages;
class CImageView;

// The program's main window: the image, the three adjustment pages, the
// process button with "Auto Start", the thumbnail and histogram panels, the
// zoom, the menus and the four-pane status bar. It shows the controller's
// state and passes input on; the decisions are the controller's.
class CMainDialog : public QMainWindow, private WindowHost, private UserPresetsHost {
    Q_OBJECT
public:
    CMainDialog(QWidget* parent = nullptr);
    ~CMainDialog() override;

    WindowController& controller() { return controller_; }
    // Files to open once the window is shown (the command line's).
    void setPendingOpen(std::vector<std::string> files) { pendingOpen_ = std::move(files); }

    // The action of a command; "&O programie" and "&Sprawdź aktualizacje..."
    // are connected by the program, which owns those windows.
    QAction* action(Command command) const;
    UserPresetsMenu& userPresetsMenu() const { return *userPresets_; }
    UndoActions& undoActions() const { return *undoActions_; }
    // Gives the monitor's profile instead of the desktop's (the desktop's is
    // read when "Użyj profilu ICC monitora" is first on).
    void setMonitorProfile(std::unique_ptr<MonitorProfile> profile);

    // Parts reached by tests and the benchmark.
    CImageView* imageView() const { return view_; }
    AdjustmentPages* pages() const { return pages_; }
    QPushButton* processButton() const { return processButton_; }
    QCheckBox* autoStartBox() const { return autoStart_; }
    QSlider* zoomSlider() const { return zoomSlider_; }
    PicturePanel* thumbnailPanel() const { return thumbnail_; }
    PicturePanel* histogramPanel() const { return histogram_; }
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

    // UserPresetsHost
    bool imageLoaded() const override { return controller_.state().loaded; }
    const ToneSettings& currentRecord() const override { return controller_.tone(); }
    std::string imageName() const override { return controller_.imageName(); }
    void applyToneChange(const ToneChange& change) override;

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
    void configure();
    // The monitor profile while the option is on, else nullptr.
    const MonitorProfile* monitorProfile();

    WindowController controller_;
    CImageView* view_ = nullptr;
    AdjustmentPages* pages_ = nullptr;
    QPushButton* processButton_ = nullptr;
    QCheckBox* autoStart_ = nullptr;
    PicturePanel* thumbnail_ = nullptr;
    PicturePanel* histogram_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    QLabel* panes_[4] = {};
    QProgressBar* progress_ = nullptr;
    QMenu* imageMenu_ = nullptr;
    QMenu* settingsMenu_ = nullptr;
    std::unique_ptr<UserPresetsMenu> userPresets_;
    UndoActions* undoActions_ = nullptr;
    std::unique_ptr<MonitorProfile> monitor_;
    bool monitorRead_ = false;
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
