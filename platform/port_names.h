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

// PORT, a device path, as the serial library must be given it: a relative path with a folder
// in it (slots/slot1, ./slot1) made absolute against the working directory, since the library
// looks for any name that is not absolute among the system's devices. A bare name (ttyUSB0)
// is left to it for that very reason.
QString DevicePathOf(const QString& port);

// What COMn opens, by the rules of DiscoverPorts; empty outside COM1 to COM16.
QString DeviceForPort(const SettingsStore& settings, int portNumber, const PortTree& tree = {});

} // namespace platform
