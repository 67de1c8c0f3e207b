#include "ui/user_presets_storage.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace qv {

namespace {

void reportFileError(QWidget* parent, const QString& path, const std::string& systemMessage)
{
    QMessageBox::critical(parent, QStringLiteral("Quorvelin"),
                          QStringLiteral("%1\n%2").arg(QDir::toNativeSeparators(path),
                                                       QString::fromStdString(systemMessage)));
}

}  // namespace

QString userPresetsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/UserSettings.qvl");
}

void loadUserPresetsAtStart(UserPresetList& presets, const QString& path, QWidget* parent)
{
    const UserPresetsResult result = loadUserPresets(presets, path.toStdString());
    if (result.status == UserPresetsStatus::IoError)
        reportFileError(parent, path, result.systemMessage);
}

bool saveUserPresetsAtExit(const UserPresetList& presets, const QString& path, QWidget* parent)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const UserPresetsResult result = saveUserPresets(presets, path.toStdString());
    if (!result.ok())
        reportFileError(parent, path, result.systemMessage);
    return result.ok();
}

}  // namespace qv
