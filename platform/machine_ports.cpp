#include "machine_ports.h"

#include "port_names.h"
#include "qt_serial_port.h"
#include "qt_settings_store.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

std::unique_ptr<SerialPort> MachinePorts::make(const QString& port,
                                               const SettingsStore& settings) const {
    auto opened = std::make_unique<QtSerialPort>(settings, m_tree);
    opened->setAdviceFor(m_advice);
    if (PortNumberOf(port) == 0)
        opened->setDevicePath(DevicePathOf(port));
    return opened;
}

QList<PortAssignment> MachinePorts::assignments() const {
    const QtSettingsStore settings;
    return DiscoverPorts(settings, m_tree);
}

QString MachinePorts::deviceOpenedBy(const QString& port) const {
    const QtSettingsStore settings;
    const int number = PortNumberOf(port);
    const QFileInfo info(number > 0 ? DeviceForPort(settings, number, m_tree) : port);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : resolved;
}

} // namespace platform
