#include "port_listing.h"

#include "platform/port_discovery.h"
#include "platform/port_names.h"
#include "platform/qt_settings_store.h"
#include "virtual_module/simulated_serial_port.h"

namespace cli {

QList<PortEntry> ListPorts(bool simulatedModule) {
    const platform::QtSettingsStore settings;
    virtual_module::SimulatedModule unused;
    const QList<platform::PortAssignment> ports =
        simulatedModule ? virtual_module::SimulatedSerialPort(unused).discoverPorts()
                        : platform::DiscoverPorts(settings);
    QList<PortEntry> entries;
    for (const platform::PortAssignment& port : ports) {
        if (port.present)
            entries.append({platform::PortKey(port.portNumber), port.device, port.description});
    }
    return entries;
}

} // namespace cli
