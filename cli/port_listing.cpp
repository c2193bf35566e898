#include "port_listing.h"

#include "platform/port_discovery.h"
#include "platform/port_names.h"
#include "platform/qt_settings_store.h"

namespace cli {

QList<PortEntry> ListPorts() {
    const platform::QtSettingsStore settings;
    QList<PortEntry> entries;
    for (const platform::PortAssignment& port : platform::DiscoverPorts(settings)) {
        if (port.present)
            entries.append({platform::PortKey(port.portNumber), port.device, port.description});
    }
    return entries;
}

} // namespace cli
