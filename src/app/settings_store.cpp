#include "app/settings_store.h"

#include <QSettings>
#include <QString>

namespace qv {

namespace {

QString keyOf(const std::string& section, const std::string& name)
{
    return QString::fromStdString(section + "/" + name);
}

}  // namespace

QSettingsStore::QSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Quorvelin"), QStringLiteral("Quorvelin")))
{
}

QSettingsStore::QSettingsStore(const std::string& iniPath)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat))
{
}

QSettingsStore::~QSettingsStore() = default;

std::optional<long long> QSettingsStore::readInt(const std::string& section, const std::string& name) const
{
    const QVariant value = settings_->value(keyOf(section, name));
    bool ok = false;
    const long long number = value.toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

std::optional<std::string> QSettingsStore::readText(const std::string& section, const std::string& name) const
{
    const QString key = keyOf(section, name);
    if (!settings_->contains(key))
        return std::nullopt;
    return settings_->value(key).toString().toStdString();
}

void QSettingsStore::writeInt(const std::string& section, const std::string& name, long long value)
{
    settings_->setValue(keyOf(section, name), value);
}

void QSettingsStore::writeText(const std::string& section, const std::string& name, const std::string& value)
{
    settings_->setValue(keyOf(section, name), QString::fromStdString(value));
}

bool QSettingsStore::sync()
{
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace qv
