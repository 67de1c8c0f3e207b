#include "ui/window_controller.h"

#include <algorithm>

#include "engine/stages/final_output/histogram_plot.h"
#include "imageio/working_image.h"
#include "settings/image_name.h"
#include "settings/tone_file.h"
#include "text/number_text.h"
#include "ui/page_controls.h"
#include "ui/status_texts.h"
#include "ui/view_geometry.h"

namespace qv::ui {

namespace {

constexpr int kClosedZoomIndex = 3;
// The side limit of full-size preview.
constexpr int kUnlimited = 999999;

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

WindowController::WindowController(WindowHost& host) : host_(host), titleBase_(titleBase()) {}

WindowController::~WindowController() { session_.stopProcessing(); }

WindowState WindowController::state() const
{
    return {session_.imageLoaded(), session_.processing(), session_.stale()};
}

void WindowController::applyConfig(const AppConfig& config, const ToneSettings& storedDefaults)
{
    ProcessingContext& ctx = session_.context();
    ctx.config = config;
    ctx.autoStart = config.autoStart;
    copyToneValues(storedDefaults, ctx.current);
    copyToneValues(storedDefaults, ctx.storedDefaults);
}

bool WindowController::takeConfiguration(const AppConfig& edited)
{
    AppConfig& c = config();
    const bool profileChanged = c.iccProfile != edited.iccProfile;
    c.externalEditor = edited.externalEditor;
    c.externalEditorPath = edited.externalEditorPath;
    c.rawNoiseReduction = edited.rawNoiseReduction;
    c.rawAutoWhiteBalance = edited.rawAutoWhiteBalance;
    c.lightRecovery = edited.lightRecovery;
    c.iccProfile = edited.iccProfile;
    return profileChanged;
}

void WindowController::setStatus(int percent, StatusCode code)
{
    if (code == lastCode_ && percent == lastPercent_ && percent <= 100 && modified_ == lastModified_)
        return;
    lastCode_ = code;
    lastPercent_ = percent;
    lastModified_ = modified_;

    StatusView view;
    view.progress = std::clamp(percent, 0, 100) == percent ? percent : 0;
    view.title = titleBase_ + "  " + imageName_ + (modified_ ? "*" : "");
    view.text = statusLine(code, percent);
    if (statusInTitle(code))
        view.title += "  (" + view.text + ")";
    if (code == StatusCode::Ready || code == StatusCode::Aborted || code == StatusCode::Ready2)
        view.bar = StatusView::Bar::Hide;
    else if (percent >= 0)
        view.bar = StatusView::Bar::Show;
    host_.showStatus(view);
}

void WindowController::poll()
{
    if (session_.processing()) {
        setStatus(session_.percent(), session_.statusCode());
        return;
    }
    if (const auto result = session_.collectProcessing())
        finishRun(*result);
}

void WindowController::runEnded(uint64_t run)
{
    if (const auto result = session_.collectEndedRun(run))
        finishRun(*result);
}

void WindowController::finishRun(ThreadResult result)
{
    // An aborted run is only forgotten.
    if (!session_.runCompleted())
        return;
    if (result == ThreadResult::Done && session_.imageLoaded() && !session_.stale()) {
        // Marked before the status, so that the title shows the "*" at once.
        modified_ = true;
        setStatus(-1, StatusCode::Ready);
        host_.showPane(0, runTimeText(session_.elapsedMs()));
    } else if (result == ThreadResult::Failed) {
        setStatus(-1, StatusCode::ProcessingError);
    }
    host_.refreshView();
}

void WindowController::setImageFiles(const std::vector<std::string>& files)
{
    files_ = files;
    imageName_ = imageDisplayName(files);
    imagePath_ = imagePathOf(files);
    host_.showPane(2, imageInfo());
}

bool WindowController::openRequested(const std::vector<std::string>& files)
{
    if (files.empty() || !askToSave())
        return false;
    modified_ = false;
    return openImages(files, true);
}

bool WindowController::openImages(const std::vector<std::string>& files, bool companionSettings)
{
    // Undo belongs to one image; a re-load of the same files (another
    // preview size) keeps it.
    if (files != files_)
        undo_.clear();
    closeImage();
    for (const std::string& file : files)
        recent_.add(file);
    if (!session_.startLoad(files))
        return false;
    setStatus(-1, StatusCode::Loading);
    const bool aborted = host_.waitForWorker(WorkerKind::Load, session_);
    const ThreadResult result = session_.finishWorker();

    if (result == ThreadResult::Done && session_.imageLoaded()) {
        // Named before the status, so that the title carries the name even
        // when no run follows (Auto Start off).
        setImageFiles(files);
        setStatus(-1, StatusCode::Ready);
        zoomIndex_ = -1;
        host_.refreshView();
        if (companionSettings) {
            // Quietly: an image without its settings file is the usual case,
            // and a file that cannot be read leaves the values as they are.
            ToneSettings& current = session_.context().current;
            const ToneSettings before = current;
            if (loadToneFile(current, companionToneFilePath(imagePath_), &before).ok())
                setStatus(-1, StatusCode::Ready);
        }
        host_.syncControls();
        startProcessing(DirtyBits::NewImage, false);
        return true;
    }

    if (!session_.context().errorText.empty())
        host_.showError(session_.context().errorText);
    setImageFiles({});
    setStatus(-1, aborted ? StatusCode::Aborted : StatusCode::LoadError);
    host_.refreshView();
    host_.syncControls();
    return false;
}

void WindowController::closeImage()
{
    stopProcessing(true);
    session_.closeImage();
    modified_ = false;
    lastSave_.reset();
    setImageFiles({});
    zoomIndex_ = kClosedZoomIndex;
    host_.syncControls();
    host_.refreshView();
    setStatus(-1, StatusCode::Ready2);
}

bool WindowController::askToSave()
{
    // Also asked while the result is out of date: the changes that made it
    // so would be lost as well.
    if (!modified_ || !session_.imageLoaded())
        return true;
    switch (host_.ask("Czy zapisać przetworzony obraz?")) {
    case Answer::Cancel: return false;
    case Answer::No: return true;
    case Answer::Yes: break;
    }
    return completeRun() && saveImage();
}

bool WindowController::completeRun()
{
    if (!session_.stale())
        return true;
    if (!session_.processing())
        startProcessing(0, true);
    const bool aborted = host_.waitForWorker(WorkerKind::Processing, session_);
    if (const auto result = session_.collectProcessing())
        finishRun(*result);
    if (aborted)
        setStatus(-1, StatusCode::Aborted);
    return !aborted && !session_.stale();
}

void WindowController::closeRequested()
{
    if (!askToSave())
        return;
    closeImage();
}

bool WindowController::saveImage()
{
    if (!lastSave_)
        return saveImageAs();
    if (!enabled(Command::Save))
        return false;
    return runSave(*lastSave_);
}

bool WindowController::saveImageAs()
{
    if (!enabled(Command::SaveAs))
        return false;
    const Bitmap& output = *session_.pipeline().output;
    ExportRequest request{{}, {}, output.width(), output.height()};
    if (lastSave_) {
        request.suggestedPath = lastSave_->path;
        request.preset = *lastSave_;
    } else {
        request.suggestedPath = folderOf(imagePath_) + imageName_.substr(0, imageName_.find('.')) + ".tif";
        request.preset.jpegQuality = config().jpegQuality;
        request.preset.width = output.width();
        request.preset.height = output.height();
    }
    const std::optional<SaveOptions> choice = host_.chooseExport(request);
    if (!choice)
        return false;
    config().jpegQuality = choice->jpegQuality;
    if (!runSave(*choice))
        return false;
    lastSave_ = choice;
    return true;
}

bool WindowController::runSave(const SaveOptions& options)
{
    if (!session_.startSave(options)) {
        setStatus(-1, StatusCode::SaveError);
        return false;
    }
    setStatus(-1, StatusCode::Saving);
    const bool aborted = host_.waitForWorker(WorkerKind::Save, session_);
    const ThreadResult result = session_.finishWorker();
    if (aborted) {
        setStatus(-1, StatusCode::Aborted);
        return false;
    }
    if (result == ThreadResult::Done) {
        modified_ = false;
        setStatus(-1, StatusCode::Ready);
        return true;
    }
    if (!session_.context().errorText.empty())
        host_.showError(session_.context().errorText);
    setStatus(-1, StatusCode::SaveError);
    return false;
}

void WindowController::saveToEditor()
{
    if (!saveImage())
        return;
    const AppConfig& c = config();
    host_.openInEditor(lastSave_->path, c.externalEditor ? c.externalEditorPath : std::string());
}

void WindowController::startProcessing(uint32_t bits, bool forced)
{
    stopProcessing(false);
    session_.startProcessing(bits, forced);
    host_.commandsChanged();
}

void WindowController::stopProcessing(bool waitCursor)
{
    const bool showCursor = waitCursor && session_.processing();
    if (showCursor)
        host_.setWaitCursor(true);
    const bool stopped = session_.stopProcessing();
    if (showCursor)
        host_.setWaitCursor(false);
    if (stopped)
        setStatus(-1, StatusCode::Ready);
}

void WindowController::processButton()
{
    if (session_.processing()) {
        stopProcessing(true);
        setStatus(-1, StatusCode::Aborted);
        host_.refreshView();
    } else if (enabled(Command::ProcessButton)) {
        startProcessing(0, true);
    }
}

void WindowController::setAutoStart(bool on)
{
    session_.context().autoStart = on;
    config().autoStart = on;
}

void WindowController::controlMoved(const PageControl& control, int value, SliderPhase phase)
{
    if (control.apply == Apply::OnRelease && phase == SliderPhase::Dragging)
        return;
    ToneSettings& current = session_.context().current;
    const auto clamped = static_cast<uint16_t>(std::clamp(value, control.min, control.max));
    if (!session_.imageLoaded())
        return;
    // A live drag is one undo step, from the value before it to the one let go.
    if (phase == SliderPhase::Dragging)
        undo_.beginGesture(current);
    const bool gestureEnds = phase == SliderPhase::Released && undo_.gestureOpen();
    if (current.*control.field == clamped) {
        if (gestureEnds)
            undo_.endGesture(current);
        return;
    }
    const ToneSettings before = current;
    // No value changes under a running pipeline.
    stopProcessing(false);
    current.*control.field = clamped;
    if (gestureEnds)
        undo_.endGesture(current);
    else
        undo_.record(before, current);
    if (control.apply == Apply::OnRelease)
        host_.syncControls();
    startProcessing(control.bits, false);
}

void WindowController::modeSelected(ColourMode mode)
{
    ToneSettings& current = session_.context().current;
    if (!session_.imageLoaded() || current.Mode == storedMode(mode))
        return;
    setValue(&ToneSettings::Mode, storedMode(mode), controlFor(&ToneSettings::Mode)->bits);
}

void WindowController::radiusPressed(int delta)
{
    ToneSettings& current = session_.context().current;
    const PageControl& radius = *controlFor(&ToneSettings::SharpnessRadius);
    const auto value = static_cast<uint16_t>(std::clamp(current.SharpnessRadius + delta, radius.min, radius.max));
    if (!session_.imageLoaded() || value == current.SharpnessRadius)
        return;
    // Without sharpening the radius is read by no stage: stored, nothing re-run.
    setValue(&ToneSettings::SharpnessRadius, value, current.Sharpness == 0 ? 0 : radius.bits);
}

void WindowController::setValue(uint16_t ToneSettings::*field, uint16_t value, uint32_t bits)
{
    ToneSettings& current = session_.context().current;
    const ToneSettings before = current;
    if (bits != 0)
        stopProcessing(false);
    current.*field = value;
    undo_.record(before, current);
    host_.syncControls();
    if (bits != 0)
        startProcessing(bits, false);
}

void WindowController::applyRecord(const ToneSettings& incoming)
{
    applyToneChange(wholeRecordChange(incoming, tone()));
}

void WindowController::applyToneChange(const ToneChange& change)
{
    if (!session_.imageLoaded())
        return;
    undo_.record(tone(), change.record);
    putRecord(change.record, change.dirtyBits);
}

void WindowController::applyUndoStep(const ToneChange& change)
{
    if (session_.imageLoaded())
        putRecord(change.record, change.dirtyBits);
}

void WindowController::putRecord(const ToneSettings& record, uint32_t bits)
{
    stopProcessing(false);
    copyToneValues(record, session_.context().current);
    host_.syncControls();
    startProcessing(bits, false);
}

void WindowController::applyPreset(int commandId)
{
    if (const TonePreset* preset = presetByCommand(commandId); preset && session_.imageLoaded())
        applyRecord(preset->settings);
}

void WindowController::applyDefaults()
{
    if (session_.imageLoaded())
        applyRecord(session_.context().storedDefaults);
}

void WindowController::setAsDefaults()
{
    if (session_.imageLoaded())
        copyToneValues(session_.context().current, session_.context().storedDefaults);
}

bool WindowController::loadSettings(const std::string& path)
{
    if (!session_.imageLoaded())
        return false;
    host_.setWaitCursor(true);
    // Read into a copy: a file that cannot be read leaves the values as they are.
    ToneSettings loaded;
    const ToneFileResult result = loadToneFile(loaded, path, &session_.context().storedDefaults);
    host_.setWaitCursor(false);
    if (!result.ok()) {
        if (!result.systemMessage.empty())
            host_.showError(result.systemMessage);
        setStatus(-1, StatusCode::LoadError);
        return false;
    }
    setStatus(-1, StatusCode::Ready);
    applyRecord(loaded);
    return true;
}

bool WindowController::saveSettings(const std::string& path)
{
    if (!session_.imageLoaded())
        return false;
    host_.setWaitCursor(true);
    const ToneFileResult result = saveToneFile(tone(), path);
    host_.setWaitCursor(false);
    if (!result.ok() && !result.systemMessage.empty())
        host_.showError(result.systemMessage);
    setStatus(-1, result.ok() ? StatusCode::Ready : StatusCode::SaveError);
    return result.ok();
}

std::string WindowController::settingsPathSuggestion() const { return pathWithoutExtension(imagePath_); }

bool WindowController::setPreviewMode(int mode)
{
    AppConfig& c = config();
    if (mode == c.previewMode)
        return true;
    if (session_.imageLoaded()) {
        const ImageIoContext& ctx = session_.context();
        const int limit = mode == 0 ? kUnlimited : previewLimit(mode);
        const bool fullSizeAlready = ctx.workingWidth == ctx.decodedWidth && ctx.workingHeight == ctx.decodedHeight;
        if (!(limit >= ctx.decodedWidth && limit >= ctx.decodedHeight && fullSizeAlready)) {
            // Re-loading replaces the result: an unsaved one is asked about first.
            if (!askToSave())
                return false;
            c.previewMode = mode;
            const std::optional<SaveOptions> keptSave = lastSave_;
            const std::vector<std::string> files = files_;
            modified_ = false;
            openImages(files, false);
            lastSave_ = keptSave;
            return true;
        }
    }
    c.previewMode = mode;
    return true;
}

void WindowController::updateCheckStarted()
{
    if (!session_.processing())
        setStatus(-1, StatusCode::UpdateCheck);
}

void WindowController::updateCheckAnswered()
{
    if (!session_.processing())
        setStatus(-1, StatusCode::Ready);
}

void WindowController::updateCheckRetrying()
{
    if (lastCode_ == StatusCode::UpdateCheck)
        setStatus(-1, StatusCode::Ready);
}

void WindowController::setZoomIndex(int index) { zoomIndex_ = std::clamp(index, 0, kLastZoomIndex); }

std::string WindowController::zoomLabel() const
{
    const int index = std::clamp(zoomIndex_, 0, kLastZoomIndex);
    return "Powiększenie " + std::to_string(kZoomPercents[index]) + "%";
}

std::string WindowController::imageInfo() const
{
    const ImageIoContext& ctx = session_.context();
    return imageInfoText(imagePath_, ctx.workingWidth, ctx.workingHeight, ctx.bitDepth);
}

std::string WindowController::clippingInfo() const
{
    const auto figures = clippingFigures(session_.pipeline().histograms);
    return figures ? text::clippingText(figures->dark, figures->light) : std::string();
}

}  // namespace qv::ui
