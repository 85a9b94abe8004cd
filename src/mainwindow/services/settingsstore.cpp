#include "settingsstore.h"

#include "base/failure.h"

#include <QSettings>

namespace pq {

SettingsStore::SettingsStore() {
#ifdef Q_OS_WIN
    mSettings = std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings"),
        QSettings::NativeFormat);
    mRegistryLayout = true;
#else
    mSettings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            kSettingsApplication, kSettingsApplication);
#endif
}

SettingsStore::SettingsStore(const QString& iniFile)
    : mSettings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

namespace {
// The section is a group; on the registry the application name is one more level above it.
QString keyPath(bool registryLayout, const QString& appName, const QString& section,
                const QString& key) {
    const QString inner = section + QLatin1Char('/') + key;
    return registryLayout ? appName + QLatin1Char('/') + inner : inner;
}
} // namespace

QString SettingsStore::GetSetting(const QString& appName, const QString& section,
                                  const QString& key, const QString& defaultValue) const {
    const QString path = keyPath(mRegistryLayout, appName, section, key);
    if (!mSettings->contains(path))
        return defaultValue;
    return mSettings->value(path).toString();
}

void SettingsStore::SaveSetting(const QString& appName, const QString& section, const QString& key,
                                const QString& value) {
    mSettings->setValue(keyPath(mRegistryLayout, appName, section, key), value);
    mSettings->sync();
    if (mSettings->status() != QSettings::NoError)
        throw Failure(failures::kPathFileAccess);
}

} // namespace pq
