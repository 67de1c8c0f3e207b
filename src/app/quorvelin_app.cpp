#include "app/quorvelin_app.h"

#include <QApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QScreen>

#include "app/settings_store.h"
#include "settings/app_config.h"
#include "settings/key_value_store.h"
#include "settings/tone_defaults.h"
#include "ui/main_dialog.h"

namespace qv {

CQuorvelinApp::CQuorvelinApp(std::unique_ptr<KeyValueStore> store)
    : store_(store ? std::move(store) : std::make_unique<QSettingsStore>())
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
    lastUpdate = store_->readText(kSettingsSection, "LastUpdate").value_or("");
    window_ = std::make_unique<ui::CMainDialog>();
    window_->setPendingOpen(files);
    readConfiguration();
    if (windowCreated)
        windowCreated(*window_);
    // Without a window manager "maximized" means nothing: the screen's size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window_->setGeometry(screen->availableGeometry());
    window_->showMaximized();
    return *window_;
}

void CQuorvelinApp::finish()
{
    if (windowClosed)
        windowClosed(*window_);
    writeConfiguration();
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
    store_->writeText(kSettingsSection, "LastUpdate", lastUpdate);
    if (auto* settings = dynamic_cast<QSettingsStore*>(store_.get()))
        settings->sync();
}

}  // namespace qv
