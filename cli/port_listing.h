// The ports command: every COM number that opens a device on this machine, and with
// --probe the module that answers on it.
#pragma once

#include <QString>
#include <QList>

namespace cli {

struct PortEntry {
    QString port;
    QString device;
    QString description;
};

// COM1 to COM16, as the window offers them and by the same rules, each where something
// is there to open.
// With a simulated module, COM1 alone, where it is.
QList<PortEntry> ListPorts(bool simulatedModule = false);

} // namespace cli
