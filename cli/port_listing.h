// The ports command: every COM number that opens a device on this machine, and with
// --probe the module that answers on it.
#pragma once

#include "platform/port_discovery.h"

#include <QList>
#include <QString>

namespace cli {

struct PortEntry {
    QString port;
    QString device;
    QString description;
};

// COM1 to COM16, as the window offers them and by the same rules, each where something
// is there to open.
// With a simulated module, COM1 alone, where it is.
QList<PortEntry> ListPorts(const platform::PortTree& tree, bool simulatedModule = false);

// The ports without those that open a device an earlier one opens, however it is spelt
// (COM3 and the path it opens, a by-id link and its target, "/dev/../dev/pts/0"), so that
// no device gets two threads. With a simulated module, nothing here is looked at, and only
// the same name twice is one port.
QStringList OnePerDevice(const QStringList& ports, const platform::PortTree& tree,
                         bool simulatedModule = false);

} // namespace cli
