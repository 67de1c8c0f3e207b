#include "ui/main_dialog.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "ui/adjustment_pages.h"
#include "ui/config_dialog.h"
#include "ui/display_panels.h"
#include "ui/export_dialog.h"
#include "ui/image_view.h"
#include "ui/monitor_profile.h"
#include "ui/open_filter.h"
#include "ui/picture_panel.h"
#include "ui/project_addresses.h"
#include "ui/undo_actions.h"
#include "ui/view_geometry.h"
#include "ui/worker_wait.h"

namespace qv::ui {

namespace {

constexpr int kProgressPollMs = 300;
constexpr int kSidePanelWidth = 272;
// The histogram picture is 272 x 136: shown one to one.
constexpr QSize kHistogramPanelSize(kSidePanelWidth, 136);
constexpr QSize kThumbnailPanelSize(kSidePanelWidth, 150);
constexpr int kWheelNotch = 120;
constexpr const char* kSettingsFilter = "Ustawienia (*.qvl)";
const char* const kPreviewTexts[] = {"Pełny rozmiar", "Podgląd 800px", "Podgląd 1280px", "Podgląd 2048px"};

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::vector<std::string> imageFormats()
{
    std::vector<std::string> formats;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        formats.push_back(format.toLower().toStdString());
    return formats;
}

}  // namespace

CMainDialog::CMainDialog(QWidget* parent)
    : QMainWindow(parent), controller_(*this), userPresets_(new UserPresetsMenu(controller_.userPresets(), *this, this))
{
    openFilters_ = openFilters(imageFormats());
    buildCentre();
    buildStatusBar();
    buildMenus();
    setAcceptDrops(true);

    // The processing thread reports the end of a run at once; the timer
    // follows its progress.
    controller_.session().setRunEndedCallback([this](uint64_t run) {
        QMetaObject::invokeMethod(this, [this, run] { controller_.runEnded(run); }, Qt::QueuedConnection);
    });
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        controller_.poll();
        updateCommands();
    });
    progressTimer_.start(kProgressPollMs);

    controller_.closeImage();
    controller_.setStatus(-1, StatusCode::Ready);
    setMinimumSize(760, 540);
    resize(1280, 860);
}

CMainDialog::~CMainDialog()
{
    controller_.stopProcessing(false);
    controller_.session().setRunEndedCallback({});
}

void CMainDialog::buildCentre()
{
    auto* centre = new QWidget;
    auto* columns = new QHBoxLayout(centre);
    columns->setContentsMargins(4, 4, 4, 0);

    auto* imageColumn = new QVBoxLayout;
    view_ = new CImageView;
    view_->setBusyQuery([this] { return controller_.session().processing(); });
    connect(view_, &CImageView::doubleClicked, this, [this] { chooseAndOpen(true); });
    imageColumn->addWidget(view_, 1);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addStretch();
    zoomLabel_ = new QLabel;
    zoomSlider_ = new QSlider(Qt::Horizontal);
    zoomSlider_->setRange(0, kLastZoomIndex);
    zoomSlider_->setPageStep(1);
    zoomSlider_->setTickInterval(1);
    zoomSlider_->setFixedWidth(140);
    connect(zoomSlider_, &QSlider::valueChanged, this, &CMainDialog::zoomChanged);
    zoomRow->addWidget(zoomLabel_);
    zoomRow->addWidget(zoomSlider_);
    imageColumn->addLayout(zoomRow);
    columns->addLayout(imageColumn, 1);

    auto* side = new QVBoxLayout;
    pages_ = new AdjustmentPages(controller_);
    pages_->setFixedWidth(kSidePanelWidth);
    connect(pages_, &AdjustmentPages::contextMenuWanted, this,
            [this](const QPoint& at) { settingsMenu_->popup(at); });
    side->addWidget(pages_);
    auto* buttons = new QHBoxLayout;
    processButton_ = new QPushButton(QStringLiteral("Przetwarzaj"));
    connect(processButton_, &QPushButton::clicked, this, [this] {
        controller_.processButton();
        updateCommands();
    });
    autoStart_ = new QCheckBox(QStringLiteral("Auto Start"));
    connect(autoStart_, &QCheckBox::toggled, this, [this](bool on) { controller_.setAutoStart(on); });
    buttons->addWidget(processButton_);
    buttons->addWidget(autoStart_);
    side->addLayout(buttons);
    // The thumbnail and histogram of the result, hidden while there is none.
    thumbnail_ = new PicturePanel;
    thumbnail_->setFixedSize(kThumbnailPanelSize);
    histogram_ = new PicturePanel;
    histogram_->setFixedSize(kHistogramPanelSize);
    side->addWidget(thumbnail_);
    side->addWidget(histogram_);
    side->addStretch(1);
    columns->addLayout(side);
    setCentralWidget(centre);
}

void CMainDialog::buildStatusBar()
{
    // Pane widths in thirtieths of the window: 1/5, 1/6, 1/2, 4/30.
    const int stretch[4] = {6, 5, 15, 4};
    for (int pane = 0; pane < 4; ++pane) {
        panes_[pane] = new QLabel;
        panes_[pane]->setTextFormat(Qt::PlainText);
        panes_[pane]->setMinimumWidth(20);
        if (pane == 1) {
            // The pane keeps its width while its progress bar is hidden, so
            // that the other panes do not move at every run.
            auto* holder = new QWidget;
            auto* layout = new QHBoxLayout(holder);
            layout->setContentsMargins(0, 0, 0, 0);
            progress_ = new QProgressBar;
            progress_->setRange(0, 100);
            progress_->setTextVisible(false);
            progress_->setMaximumHeight(14);
            progress_->hide();
            layout->addWidget(progress_);
            statusBar()->addWidget(holder, stretch[pane]);
            continue;
        }
        statusBar()->addWidget(panes_[pane], stretch[pane]);
    }
}

QAction* CMainDialog::addCommand(QMenu* menu, Command command, const char* text, const QKeySequence& keys,
                                 std::function<void()> handler)
{
    auto* action = new QAction(QString::fromUtf8(text), this);
    action->setShortcut(keys);
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    connect(action, &QAction::triggered, this, [this, handler] {
        handler();
        updateCommands();
    });
    actions_[command].push_back(action);
    return action;
}

void CMainDialog::buildMenus()
{
    imageMenu_ = menuBar()->addMenu(QStringLiteral("Obraz"));
    addCommand(imageMenu_, Command::OpenImages, "&Otwórz obraz(y)", QKeySequence(Qt::CTRL | Qt::Key_M),
               [this] { chooseAndOpen(true); });
    addCommand(nullptr, Command::OpenImage, "", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { chooseAndOpen(false); });
    addCommand(imageMenu_, Command::Save, "&Zapisz", QKeySequence(Qt::CTRL | Qt::Key_S),
               [this] { controller_.saveImage(); });
    addCommand(imageMenu_, Command::SaveAs, "&Zapisz jako...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
               [this] { controller_.saveImageAs(); });
    addCommand(imageMenu_, Command::SaveToEditor, "Zapisz i przenieś do edytora", QKeySequence(Qt::CTRL | Qt::Key_T),
               [this] { controller_.saveToEditor(); });
    addCommand(imageMenu_, Command::Close, "&Zamknij", QKeySequence(Qt::CTRL | Qt::Key_Delete),
               [this] { controller_.closeRequested(); });
    recentSeparator_ = imageMenu_->addSeparator();
    imageMenu_->addSeparator();
    addCommand(imageMenu_, Command::Exit, "Zakończ", QKeySequence(), [this] { close(); });
    connect(imageMenu_, &QMenu::aboutToShow, this, &CMainDialog::fillRecentFiles);

    settingsMenu_ = menuBar()->addMenu(QStringLiteral("Ustawienia"));
    undoActions_ = new UndoActions(
        controller_.undoHistory(), [this]() -> const ToneSettings& { return controller_.tone(); },
        [this](const ToneChange& change) {
            controller_.applyUndoStep(change);
            updateCommands();
        },
        this);
    settingsMenu_->addAction(undoActions_->undoAction());
    settingsMenu_->addAction(undoActions_->redoAction());
    settingsMenu_->addSeparator();
    addCommand(settingsMenu_, Command::LoadSettings, "&Wczytaj ustawienia", {}, [this] { loadSettingsFile(); });
    addCommand(settingsMenu_, Command::SaveSettings, "&Zapisz ustawienia", {}, [this] { saveSettingsFile(); });
    settingsMenu_->addSeparator();
    addCommand(settingsMenu_, Command::Defaults, "&Domyślne", {}, [this] { controller_.applyDefaults(); });
    addCommand(settingsMenu_, Command::SetAsDefaults, "Ustaw jako domyślne", {}, [this] { controller_.setAsDefaults(); });
    settingsMenu_->addSeparator();
    QMenu* presets = settingsMenu_->addMenu(QStringLiteral("Predefiniowane"));
    for (const TonePreset& preset : tonePresets())
        addCommand(presets, Command::Preset, preset.menuText, {},
                   [this, id = preset.commandId] { controller_.applyPreset(id); });
    settingsMenu_->addMenu(userPresets_->menu());
    settingsMenu_->addSeparator();
    addCommand(settingsMenu_, Command::Configuration, "Konfiguracja", {}, [this] { configure(); });

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("Widok"));
    previewGroup_ = new QActionGroup(this);
    for (int mode = 0; mode < 4; ++mode) {
        QAction* item = addCommand(viewMenu, Command::PreviewMode, kPreviewTexts[mode], {}, [this, mode] {
            controller_.setPreviewMode(mode);
        });
        item->setCheckable(true);
        item->setActionGroup(previewGroup_);
    }
    viewMenu->addSeparator();
    addCommand(viewMenu, Command::ZoomSlider, "Powiększ", QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { stepZoom(+1); });
    addCommand(nullptr, Command::ZoomSlider, "", QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { stepZoom(+1); });
    addCommand(viewMenu, Command::ZoomSlider, "Pomniejsz", QKeySequence(Qt::CTRL | Qt::Key_Minus),
               [this] { stepZoom(-1); });
    addCommand(viewMenu, Command::ZoomSlider, "Dopasuj do okna", QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
        controller_.setZoomIndex(-1);
        zoomChanged(view_->applyZoom(-1, false));
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("Pomoc"));
    addCommand(help, Command::Manual, "Instrukcja online", QKeySequence(Qt::Key_F1),
               [] { QDesktopServices::openUrl(QUrl(manualPage())); });
    addCommand(help, Command::Support, "Pomoc techniczna", {},
               [] { QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + supportMailAddress())); });
    addCommand(help, Command::CheckUpdates, "&Sprawdź aktualizacje...", {}, [] {});
    help->addSeparator();
    addCommand(help, Command::About, "&O programie", {}, [] {});

    for (QMenu* menu : {imageMenu_, settingsMenu_, viewMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainDialog::updateCommands);
}

QAction* CMainDialog::action(Command command) const
{
    const auto it = actions_.find(command);
    return it == actions_.end() || it->second.empty() ? nullptr : it->second.front();
}

void CMainDialog::fillRecentFiles()
{
    for (QAction* a : recentActions_)
        delete a;
    recentActions_.clear();
    const auto& entries = controller_.recentFiles().entries();
    if (entries.empty()) {
        auto* placeholder = new QAction(QStringLiteral("Ostatnio otwarty obraz"), imageMenu_);
        placeholder->setEnabled(false);
        recentActions_.push_back(placeholder);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string path = entries[i];
        // A "&" in the path is shown, not taken as the item's key letter.
        const QString shown = qs(path).replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), imageMenu_);
        connect(item, &QAction::triggered, this, [this, path] {
            controller_.openRequested({path});
            updateCommands();
        });
        recentActions_.push_back(item);
    }
    imageMenu_->insertActions(recentSeparator_, {recentActions_.begin(), recentActions_.end()});
}

void CMainDialog::updateCommands()
{
    const WindowState state = controller_.state();
    for (const auto& [command, list] : actions_)
        for (QAction* a : list)
            a->setEnabled(commandEnabled(command, state));
    if (QAction* mode = previewGroup_->actions().value(controller_.config().previewMode))
        mode->setChecked(true);
    else if (QAction* checked = previewGroup_->checkedAction())
        checked->setChecked(false);
    processButton_->setText(state.busy ? QStringLiteral("Przerwij") : QStringLiteral("Przetwarzaj"));
    processButton_->setEnabled(commandEnabled(Command::ProcessButton, state));
    zoomSlider_->setEnabled(commandEnabled(Command::ZoomSlider, state));
    undoActions_->update(state.loaded);
}

void CMainDialog::showStatus(const StatusView& status)
{
    progress_->setValue(status.progress);
    if (status.bar == StatusView::Bar::Hide)
        progress_->hide();
    else if (status.bar == StatusView::Bar::Show)
        progress_->show();
    panes_[0]->setText(qs(status.text));
    setWindowTitle(qs(status.title));
    updateCommands();
}

void CMainDialog::showPane(int pane, const std::string& text) { panes_[pane]->setText(qs(text)); }

bool CMainDialog::waitForWorker(WorkerKind, EngineSession& session) { return waitForWorkerThread(this, session); }

Answer CMainDialog::ask(const std::string& question)
{
    const auto button = QMessageBox::question(this, QStringLiteral("Quorvelin"), qs(question),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return button == QMessageBox::Yes ? Answer::Yes : button == QMessageBox::No ? Answer::No : Answer::Cancel;
}

void CMainDialog::showError(const std::string& text)
{
    QMessageBox::critical(this, QStringLiteral("Quorvelin"), qs(text));
}

void CMainDialog::syncControls()
{
    pages_->sync(controller_.tone(), controller_.session().imageLoaded());
    {
        const QSignalBlocker blocker(autoStart_);
        autoStart_->setChecked(controller_.session().context().autoStart);
    }
    showZoom();
}

void CMainDialog::showZoom()
{
    if (controller_.zoomIndex() >= 0) {
        const QSignalBlocker blocker(zoomSlider_);
        zoomSlider_->setValue(controller_.zoomIndex());
    }
    zoomLabel_->setText(qs(controller_.zoomLabel()));
    updateCommands();
}

void CMainDialog::refreshView()
{
    EngineSession& session = controller_.session();
    const MonitorProfile* profile = monitorProfile();
    view_->setMonitorProfile(profile);
    if (session.imageLoaded()) {
        view_->setImages(session.pipeline().output.get(), session.pipeline().source.get());
        if (controller_.zoomIndex() < 0)
            view_->resetViewPosition();
        view_->outputChanged();
        controller_.setZoomIndex(view_->applyZoom(controller_.zoomIndex(), false));
    } else {
        view_->setImages(nullptr, nullptr);
    }
    // The clipping figures only with panels drawn from the finished run.
    if (!session.processing() && drawPanels(&session.pipeline(), *thumbnail_, *histogram_, profile,
                                                view_->reducedOutput()))
        if (const std::string clipping = controller_.clippingInfo(); !clipping.empty())
            panes_[3]->setText(qs(clipping));
    if (!session.imageLoaded())
        panes_[3]->clear();
    // Only the zoom: a slider being dragged keeps its place until let go.
    showZoom();
}

void CMainDialog::applyToneChange(const ToneChange& change)
{
    controller_.applyToneChange(change);
    updateCommands();
}

void CMainDialog::configure()
{
    AppConfig edited = controller_.config();
    // Drawn anew at once when the monitor profile was switched.
    if (ConfigDialog::edit(edited, this) && controller_.takeConfiguration(edited)) {
        refreshView();
        update();
    }
}

const MonitorProfile* CMainDialog::monitorProfile()
{
    if (!controller_.config().iccProfile)
        return nullptr;
    if (!monitorRead_) {
        monitor_ = MonitorProfile::forDesktop();
        monitorRead_ = true;
    }
    return monitor_.get();
}

void CMainDialog::setMonitorProfile(std::unique_ptr<MonitorProfile> profile)
{
    view_->setMonitorProfile(nullptr);
    monitor_ = std::move(profile);
    monitorRead_ = true;
    refreshView();
}

void CMainDialog::setWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

std::optional<SaveOptions> CMainDialog::chooseExport(const ExportRequest& request)
{
    CExportDialog dialog(request, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.options();
}

void CMainDialog::openInEditor(const std::string& path, const std::string& program)
{
    const bool started = program.empty() ? QDesktopServices::openUrl(QUrl::fromLocalFile(qs(path)))
                                         : QProcess::startDetached(qs(program), {qs(path)});
    if (!started)
        showError("Nie można uruchomić edytora dla pliku „" + path + "”");
}

void CMainDialog::chooseAndOpen(bool several)
{
    QStringList filters;
    for (const std::string& filter : openFilters_)
        filters << qs(filter);
    const QString title = QStringLiteral("Otwórz obraz(y)");
    const QString folder = QFileInfo(qs(controller_.imagePath())).absolutePath();
    const QString joined = filters.join(QStringLiteral(";;"));
    const QStringList chosen = several ? QFileDialog::getOpenFileNames(this, title, folder, joined)
                                       : QStringList{QFileDialog::getOpenFileName(this, title, folder, joined)};
    std::vector<std::string> files;
    for (const QString& file : chosen)
        if (!file.isEmpty())
            files.push_back(file.toStdString());
    controller_.openRequested(files);
}

void CMainDialog::loadSettingsFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Wczytaj ustawienia"),
                                     qs(controller_.settingsPathSuggestion() + ".qvl"), QString::fromUtf8(kSettingsFilter));
    if (!path.isEmpty())
        controller_.loadSettings(path.toStdString());
}

void CMainDialog::saveSettingsFile()
{
    QFileDialog dialog(this, QStringLiteral("Zapisz ustawienia"), {}, QString::fromUtf8(kSettingsFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qvl"));
    dialog.selectFile(qs(controller_.settingsPathSuggestion() + ".qvl"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        controller_.saveSettings(dialog.selectedFiles().first().toStdString());
}

void CMainDialog::zoomChanged(int index)
{
    if (index < 0)
        return;
    controller_.setZoomIndex(index);
    zoomLabel_->setText(qs(controller_.zoomLabel()));
    {
        const QSignalBlocker blocker(zoomSlider_);
        zoomSlider_->setValue(index);
    }
    view_->applyZoom(index, true);
}

void CMainDialog::stepZoom(int step)
{
    if (!controller_.enabled(Command::ZoomSlider))
        return;
    zoomChanged(std::clamp(zoomSlider_->value() + step, 0, kLastZoomIndex));
}

void CMainDialog::dropFiles(const std::vector<std::string>& files)
{
    // Only the first of several dropped files is opened.
    if (!files.empty())
        controller_.openRequested({files.front()});
    updateCommands();
}

void CMainDialog::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    pages_->setCurrentIndex(0);
    if (!pendingOpen_.empty()) {
        // Opened once the window is on the screen.
        QTimer::singleShot(0, this, [this] {
            const std::vector<std::string> files = std::move(pendingOpen_);
            pendingOpen_.clear();
            controller_.openImages(files, true);
        });
    }
}

void CMainDialog::closeEvent(QCloseEvent* event)
{
    if (!controller_.askToSave()) {
        event->ignore();
        return;
    }
    controller_.stopProcessing(true);
    event->accept();
}

void CMainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainDialog::dropEvent(QDropEvent* event)
{
    std::vector<std::string> files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    // Opened after the drop has finished, so that the source is not kept waiting.
    QTimer::singleShot(0, this, [this, files] { dropFiles(files); });
}

void CMainDialog::wheelEvent(QWheelEvent* event)
{
    // One step per notch of 120; the finer deltas of touchpads and free
    // wheels add up to notches.
    wheelAngle_ += event->angleDelta().y();
    const int notches = wheelAngle_ / kWheelNotch;
    wheelAngle_ -= notches * kWheelNotch;
    if (notches != 0)
        stepZoom(notches);
    event->accept();
}

void CMainDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape and Enter never close anything in the window.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

}  // namespace qv::ui
