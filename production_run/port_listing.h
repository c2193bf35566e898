// The ports a run can use: every COM number that opens a device, and one name per device.
#pragma once

#include "platform/port_source.h"

#include <QList>
#include <QString>

namespace production_run {

struct PortEntry {
    QString port;
    QString device;
    QString description;
};

// COM1 to COM16, as the window offers them and by the same rules, each where something
// is there to open.
QList<PortEntry> ListPorts(const platform::PortSource& source);

// The ports in the order {n} counts them: COM numbers upwards, then device paths as given.
QStringList InCountingOrder(QStringList ports);

// The ports without those that open a device an earlier one opens, however the source spells
// it, so that no device gets two threads.
QStringList OnePerDevice(const QStringList& ports, const platform::PortSource& source);

} // namespace production_run
