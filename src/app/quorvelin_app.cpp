#include "app/quorvelin_app.h"

#include <QAction>
#include <QApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include "app/settings_store.h"
#include "app/splash_window.h"
#include "online/update_check.h"
#include "settings/app_config.h"
#include "settings/key_value_store.h"
#include "settings/tone_defaults.h"
#include "ui/main_dialog.h"
#include "ui/user_presets_storage.h"

namespace qv {

CQuorvelinApp::CQuorvelinApp(std::unique_ptr<KeyValueStore> store, QString presetsPath)
    : store_(store ? std::move(store) : std::make_unique<QSettingsStore>()),
      presetsPath_(presetsPath.isEmpty() ? userPresetsFilePath() : std::move(presetsPath))
{
}

CQuorvelinApp::~CQuorvelinApp() = default;

std::optional<std::string> CQuorvelinApp::missingPlatformText()
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    if (!formats.contains("jpeg") || !formats.contains("png") || !formats.contains("bmp"))
        return "Brak wtyczek Qt do odczytu obrazów (JPEG, PNG, BMP). Zainstaluj pakiety Qt 6 z wtyczkami obrazów.";
    return std::nullopt;
}

ui::CMainDialog& CQuorvelinApp::start(const std::vector<std::string>& files)
{
    window_ = std::make_unique<ui::CMainDialog>();
    window_->setPendingOpen(files);
    const QPointer<CSplashWindow> splash = CSplashWindow::open(CSplashWindow::kStartupSeconds);
    readConfiguration();
    loadUserPresetsAtStart(window_->controller().userPresets(), presetsPath_, window_.get());
    updateCheck_ = std::make_unique<CUpdateCheck>(*store_);
    connectHelpCommands();
    // Without a window manager "maximized" means nothing: the screen's size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window_->setGeometry(screen->availableGeometry());
    window_->showMaximized();
    // Above the window also where no window manager keeps it on top.
    if (splash)
        splash->raise();
    updateCheck_->start(true);
    return *window_;
}

void CQuorvelinApp::connectHelpCommands()
{
    ui::CMainDialog* window = window_.get();
    ui::WindowController& controller = window->controller();
    // A critical release closes the window the usual way, with its question
    // about an unsaved result.
    updateCheck_->setDialogParent(window);
    QObject::connect(window->action(ui::Command::About), &QAction::triggered, window,
                     [window] { CSplashWindow::open(0, window); });
    QObject::connect(window->action(ui::Command::CheckUpdates), &QAction::triggered, updateCheck_.get(),
                     [this, &controller] {
                         controller.updateCheckStarted();
                         updateCheck_->start(false);
                     });
    QObject::connect(updateCheck_.get(), &CUpdateCheck::answered, window,
                     [&controller] { controller.updateCheckAnswered(); });
    // A check that waits to be repeated is no longer shown as running; an
    // error or other status shown meanwhile is not overwritten at every repeat.
    QObject::connect(updateCheck_.get(), &CUpdateCheck::retryScheduled, window,
                     [&controller] { controller.updateCheckRetrying(); });
}

void CQuorvelinApp::finish()
{
    saveUserPresetsAtExit(window_->controller().userPresets(), presetsPath_, window_.get());
    writeConfiguration();
    // A request still in flight is abandoned.
    updateCheck_.reset();
    window_.reset();
}

int CQuorvelinApp::run(const std::vector<std::string>& files)
{
    if (const auto missing = missingPlatformText()) {
        QMessageBox::critical(nullptr, QStringLiteral("Quorvelin"), QString::fromStdString(*missing));
        return 1;
    }
    start(files);
    const int code = QApplication::exec();
    finish();
    return code;
}

void CQuorvelinApp::readConfiguration()
{
    ui::WindowController& controller = window_->controller();
    ToneSettings defaults;
    readToneDefaults(*store_, defaults);
    controller.applyConfig(readAppConfig(*store_), defaults);
    controller.recentFiles().read(*store_);
    controller.closeImage();
}

void CQuorvelinApp::writeConfiguration()
{
    ui::WindowController& controller = window_->controller();
    writeAppConfig(*store_, controller.config());
    writeToneDefaults(*store_, controller.session().context().storedDefaults);
    controller.recentFiles().write(*store_);
    if (auto* settings = dynamic_cast<QSettingsStore*>(store_.get()))
        settings->sync();
}

}  // namespace qv
