// Which device a port number COMn opens on this system.
#pragma once

#include "port_discovery.h"

#include <QString>

namespace platform {

class SettingsStore;

inline const QString kPortsSection = QStringLiteral("Ports");

QString PortKey(int portNumber);

// What COMn opens, by the rules of DiscoverPorts; empty outside COM1 to COM16.
QString DeviceForPort(const SettingsStore& settings, int portNumber, const PortTree& tree = {});

} // namespace platform
