#include "port_names.h"

namespace platform {

QString PortKey(int portNumber) {
    return QStringLiteral("COM%1").arg(portNumber);
}

QString DeviceForPort(const SettingsStore& settings, int portNumber, const PortTree& tree) {
    return DiscoverPorts(settings, tree).value(portNumber - 1).device;
}

} // namespace platform
