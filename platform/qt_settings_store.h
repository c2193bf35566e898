// The per-user settings store on QSettings: the registry key of the earlier Windows
// tool on Windows, an INI file under the user's configuration folder elsewhere.
#pragma once

#include "settings_store.h"

namespace platform {

class QtSettingsStore : public SettingsStore {
public:
    QString value(const QString& section, const QString& key,
                  const QString& defaultValue) const override;
    bool setValue(const QString& section, const QString& key, const QString& value) override;

    // Where the values live, for telling the user how to edit them.
    static QString location();
};

} // namespace platform
