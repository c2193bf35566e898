// Which device a port number COMn opens on this system.
#pragma once

#include <QString>

namespace platform {

class SettingsStore;

inline const QString kPortsSection = QStringLiteral("Ports");

QString PortKey(int portNumber);

// On Windows COMn is the system's COMn. Elsewhere COMn is the device stored under
// [Ports] COMn, else /dev/ttyS{n-1}.
QString DeviceForPort(const SettingsStore& settings, int portNumber);

} // namespace platform
