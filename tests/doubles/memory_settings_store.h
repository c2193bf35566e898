// A settings store in memory, which can be told to fail its writes.
#pragma once

#include "platform/settings_store.h"

#include <QMap>

namespace doubles {

class MemorySettingsStore : public platform::SettingsStore {
public:
    QString value(const QString& section, const QString& key,
                  const QString& defaultValue) const override {
        return m_values.value(section + QLatin1Char('/') + key, defaultValue);
    }

    bool setValue(const QString& section, const QString& key, const QString& value) override {
        ++m_writes;
        if (m_failWrites)
            return false;
        m_values.insert(section + QLatin1Char('/') + key, value);
        return true;
    }

    bool contains(const QString& section, const QString& key) const {
        return m_values.contains(section + QLatin1Char('/') + key);
    }
    void failWrites() { m_failWrites = true; }
    int writes() const { return m_writes; }

private:
    QMap<QString, QString> m_values;
    bool m_failWrites = false;
    int m_writes = 0;
};

} // namespace doubles
