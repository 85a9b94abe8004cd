#pragma once

// The per-user settings store: text values addressed by application name, section and key.
// Each write is persistent when it returns.

#include <QString>
#include <memory>

class QSettings;

namespace pq {

inline const QString kSettingsApplication = QStringLiteral("Quillmere");

class SettingsStore {
public:
    // The real user's store (on Windows where the original program kept its values).
    SettingsStore();
    // A store in one file, for tests.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue) const;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value);

private:
    std::unique_ptr<QSettings> mSettings;
    bool mRegistryLayout = false;
};

} // namespace pq
