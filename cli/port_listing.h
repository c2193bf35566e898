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

// COM1 to COM16, as the window offers them, each where its device is present.
QList<PortEntry> ListPorts();

} // namespace cli
