#include "port_listing.h"

#include "platform/port_discovery.h"
#include "platform/port_names.h"
#include "platform/qt_settings_store.h"
#include "virtual_module/simulated_serial_port.h"

#include "module_job.h"

#include <QDir>
#include <QFileInfo>

namespace cli {
namespace {

// The device a port opens, however it is spelt.
QString DeviceOpenedBy(const QString& port, const platform::SettingsStore& settings,
                       const platform::PortTree& tree) {
    const int number = PortNumberOf(port);
    const QFileInfo info(number > 0 ? platform::DeviceForPort(settings, number, tree) : port);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
}

} // namespace

QList<PortEntry> ListPorts(const platform::PortTree& tree, bool simulatedModule) {
    const platform::QtSettingsStore settings;
    const QList<platform::PortAssignment> ports = simulatedModule
                                                      ? virtual_module::SimulatedPorts()
                                                      : platform::DiscoverPorts(settings, tree);
    QList<PortEntry> entries;
    for (const platform::PortAssignment& port : ports) {
        if (port.present)
            entries.append({platform::PortKey(port.portNumber), port.device, port.description});
    }
    return entries;
}

QStringList OnePerDevice(const QStringList& ports, const platform::PortTree& tree,
                         bool simulatedModule) {
    const platform::QtSettingsStore settings;
    QStringList devices;
    QStringList kept;
    for (const QString& port : ports) {
        // The simulated module's ports open nothing on this machine: each name is its own.
        const QString device = simulatedModule ? port : DeviceOpenedBy(port, settings, tree);
        if (devices.contains(device))
            continue;
        devices << device;
        kept << port;
    }
    return kept;
}

} // namespace cli
