#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imageio/save_options.h"
#include "settings/colour_mode.h"
#include "settings/tone_change.h"
#include "settings/tone_settings.h"
#include "settings/undo_history.h"
#include "settings/user_presets.h"
#include "ui/command_table.h"
#include "ui/engine_session.h"
#include "ui/recent_files.h"

namespace qv::ui {

struct PageControl;

enum class Answer { Yes, No, Cancel };
enum class WorkerKind { Load, Save, Processing };

// How a slider's value came to change.
enum class SliderPhase {
    Dragging,  // the thumb is being dragged
    Step,      // keyboard, page or line step, a click on the groove
    Released,  // the thumb was let go
};

// What the title bar, status pane 0 and the progress bar show.
struct StatusView {
    enum class Bar { Keep, Show, Hide };
    std::string title;
    std::string text;
    int progress = 0;
    Bar bar = Bar::Keep;
};

// What "Zapisz jako..." offers: the suggested path and the preset options.
struct ExportRequest {
    std::string suggestedPath;
    SaveOptions preset;
    int fullWidth = 0;
    int fullHeight = 0;
};

// What the controller needs of the window: showing, asking and waiting.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual void showStatus(const StatusView& view) = 0;
    // Pane 0 after a run, pane 2 (image information), pane 3 (clipping).
    virtual void showPane(int pane, const std::string& text) = 0;
    // Waits for the session's load, save or processing thread without
    // freezing, with a progress dialog after a while. True when the user
    // aborted it; the thread has ended on return either way.
    virtual bool waitForWorker(WorkerKind kind, EngineSession& session) = 0;
    virtual Answer ask(const std::string& question) = 0;
    virtual void showError(const std::string& text) = 0;
    // The tone values, the enabling or the zoom index changed.
    virtual void syncControls() = 0;
    // The image or its zoom changed: re-apply the zoom and repaint.
    virtual void refreshView() = 0;
    virtual void setWaitCursor(bool on) = 0;
    // Loaded, busy or stale changed: the commands' enabling follows.
    virtual void commandsChanged() = 0;
    // The export dialog; empty when cancelled.
    virtual std::optional<SaveOptions> chooseExport(const ExportRequest& request) = 0;
    // Hands a saved file to `program`, or to the file type's default program
    // when `program` is empty.
    virtual void openInEditor(const std::string& path, const std::string& program) = 0;
};

// The main window's state and decisions, free of widgets: what is loaded,
// running, stale or modified; opening, closing, saving and the questions
// they ask; the status, title and progress texts; every command's enabling.
class WindowController {
public:
    explicit WindowController(WindowHost& host);
    ~WindowController();

    EngineSession& session() { return session_; }
    const ToneSettings& tone() const { return session_.context().current; }
    AppConfig& config() { return session_.context().config; }
    RecentFiles& recentFiles() { return recent_; }
    // The user presets: read at start-up, written at exit.
    UserPresetList& userPresets() { return userPresets_; }
    // Every change of the tone record, for "Cofnij" and "Ponów".
    UndoHistory& undoHistory() { return undo_; }

    WindowState state() const;
    bool enabled(Command command) const { return commandEnabled(command, state()); }
    bool modified() const { return modified_; }
    const std::string& imageName() const { return imageName_; }
    const std::string& imagePath() const { return imagePath_; }
    const std::optional<SaveOptions>& lastSave() const { return lastSave_; }

    // The options read at start-up: Auto Start and the preview mode follow them.
    void applyConfig(const AppConfig& config, const ToneSettings& storedDefaults);
    // "Konfiguracja" closed with OK. True when the monitor-profile option
    // changed, so that the window is drawn anew at once.
    bool takeConfiguration(const AppConfig& edited);

    // Status, title and progress bar for a code and a percentage (-1: none).
    void setStatus(int percent, StatusCode code);
    // The 300 ms look at the processing thread.
    void poll();
    // The processing thread's report that run `run` ended.
    void runEnded(uint64_t run);

    // Asks about an unsaved result, then opens the files. False when the
    // user cancelled or the load failed.
    bool openRequested(const std::vector<std::string>& files);
    bool openImages(const std::vector<std::string>& files, bool companionSettings);
    void closeImage();
    // True when the caller may go on (the result is saved, or need not be).
    bool askToSave();
    // "&Zamknij": asks, then closes.
    void closeRequested();
    bool saveImage();
    bool saveImageAs();
    void saveToEditor();

    void startProcessing(uint32_t bits, bool forced);
    void stopProcessing(bool waitCursor);
    void processButton();
    void setAutoStart(bool on);

    // The adjustment pages' input.
    void controlMoved(const PageControl& control, int value, SliderPhase phase);
    void modeSelected(ColourMode mode);
    void radiusPressed(int delta);

    // Whole-record changes and the settings commands.
    // A user preset: a whole record with its dirty bits, one undo step.
    void applyToneChange(const ToneChange& change);
    // An undo or redo step: the record put back without a new step.
    void applyUndoStep(const ToneChange& change);
    void applyPreset(int commandId);
    void applyDefaults();
    void setAsDefaults();
    bool loadSettings(const std::string& path);
    bool saveSettings(const std::string& path);
    // The path the settings dialogs suggest: the image's without extension.
    std::string settingsPathSuggestion() const;

    // "Widok": false when the user cancelled the re-load it needs.
    bool setPreviewMode(int mode);

    // The update check asked from the menu, and its answer: the status
    // shows the check unless a run shows its progress.
    void updateCheckStarted();
    void updateCheckAnswered();
    // A check that got no answer and waits to be repeated: the status stops
    // showing it as running, and any other status stays.
    void updateCheckRetrying();

    int zoomIndex() const { return zoomIndex_; }
    void setZoomIndex(int index);
    std::string zoomLabel() const;

    std::string imageInfo() const;
    std::string clippingInfo() const;

private:
    void applyRecord(const ToneSettings& incoming);
    // One value changed by a control that shows it at once; `bits` 0 re-runs nothing.
    void setValue(uint16_t ToneSettings::*field, uint16_t value, uint32_t bits);
    // Puts the values of `record` in place and re-runs the stages of `bits`.
    void putRecord(const ToneSettings& record, uint32_t bits);
    bool runSave(const SaveOptions& options);
    void finishRun(ThreadResult result);
    // Runs the stale result to its end before it is saved; false when that
    // was aborted or failed.
    bool completeRun();
    void setImageFiles(const std::vector<std::string>& files);

    WindowHost& host_;
    EngineSession session_;
    RecentFiles recent_;
    UserPresetList userPresets_;
    UndoHistory undo_;
    std::string titleBase_;
    bool modified_ = false;
    std::vector<std::string> files_;
    std::string imageName_;
    std::string imagePath_;
    std::optional<SaveOptions> lastSave_;
    int zoomIndex_ = 3;
    // The last status shown, so that a repeated one changes nothing.
    StatusCode lastCode_ = StatusCode::None;
    int lastPercent_ = -2;
    bool lastModified_ = false;
};

}  // namespace qv::ui
