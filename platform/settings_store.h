// The per-user settings store: text values by section and key.
#pragma once

#include <QString>

namespace platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual QString value(const QString& section, const QString& key,
                          const QString& defaultValue) const = 0;
    // Returns false when the value could not be made durable.
    virtual bool setValue(const QString& section, const QString& key, const QString& value) = 0;
};

} // namespace platform
