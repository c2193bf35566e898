#include "port_listing.h"

#include "platform/port_names.h"

namespace production_run {

QList<PortEntry> ListPorts(const platform::PortSource& source) {
    QList<PortEntry> entries;
    for (const platform::PortAssignment& port : source.assignments()) {
        if (port.present)
            entries.append({platform::PortKey(port.portNumber), port.device, port.description});
    }
    return entries;
}

QStringList OnePerDevice(const QStringList& ports, const platform::PortSource& source) {
    QStringList devices;
    QStringList kept;
    for (const QString& port : ports) {
        const QString device = source.deviceOpenedBy(port);
        if (devices.contains(device))
            continue;
        devices << device;
        kept << port;
    }
    return kept;
}

} // namespace production_run
