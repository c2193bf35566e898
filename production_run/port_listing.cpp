#include "port_listing.h"

#include "platform/port_names.h"

#include <algorithm>

namespace production_run {

QList<PortEntry> ListPorts(const platform::PortSource& source) {
    QList<PortEntry> entries;
    for (const platform::PortAssignment& port : source.assignments()) {
        if (port.present)
            entries.append({platform::PortKey(port.portNumber), port.device, port.description});
    }
    return entries;
}

QStringList InCountingOrder(QStringList ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const QString& a, const QString& b) {
        const int left = platform::PortNumberOf(a);
        const int right = platform::PortNumberOf(b);
        return left > 0 && (right == 0 || left < right);
    });
    return ports;
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
