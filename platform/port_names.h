// Which device a port number COMn opens on this system.
#pragma once

#include "port_discovery.h"

#include <QString>

namespace platform {

class SettingsStore;

inline const QString kPortsSection = QStringLiteral("Ports");

QString PortKey(int portNumber);

// The COM number that PORT names ("COM3" gives 3), or 0 for a device path (and for a COM
// name outside COM1 to COM16, which the programs refuse).
int PortNumberOf(const QString& port);

// What COMn opens, by the rules of DiscoverPorts; empty outside COM1 to COM16.
QString DeviceForPort(const SettingsStore& settings, int portNumber, const PortTree& tree = {});

} // namespace platform
