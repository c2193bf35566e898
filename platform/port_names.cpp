#include "port_names.h"

#include "settings_store.h"

namespace platform {

QString PortKey(int portNumber) {
    return QStringLiteral("COM%1").arg(portNumber);
}

QString DeviceForPort(const SettingsStore& settings, int portNumber) {
#ifdef Q_OS_WIN
    Q_UNUSED(settings);
    return PortKey(portNumber);
#else
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    const QString mapped = settings.value(kPortsSection, PortKey(portNumber), fallback);
    return mapped.isEmpty() ? fallback : mapped;
#endif
}

} // namespace platform
