#include "qt_settings_store.h"

#include "platform.h"

#include <QSettings>

#include <memory>

namespace platform {
namespace {

// A fresh QSettings per access, so values written by another process (the virtual
// module maps its device this way) are seen at once.
std::unique_ptr<QSettings> OpenStore() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
            kApplicationTitle,
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       kApplicationTitle, kApplicationTitle);
#endif
}

QString KeyPath(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}

} // namespace

QString QtSettingsStore::value(const QString& section, const QString& key,
                               const QString& defaultValue) const {
    return OpenStore()->value(KeyPath(section, key), defaultValue).toString();
}

bool QtSettingsStore::setValue(const QString& section, const QString& key, const QString& value) {
    auto store = OpenStore();
    store->setValue(KeyPath(section, key), value);
    // On disk at once: a crash right after a successful open must not lose the port.
    store->sync();
    return store->status() == QSettings::NoError;
}

QString QtSettingsStore::location() {
    return OpenStore()->fileName();
}

} // namespace platform
