#include "port_discovery.h"

#include "port_names.h"
#include "serial_device_scan.h"
#include "settings_store.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include <QSerialPortInfo>
#endif

namespace platform {
namespace {

#ifdef Q_OS_WIN
QList<PortAssignment> WindowsPorts() {
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    QList<PortAssignment> ports;
    for (int n = 1; n <= kPortCount; ++n) {
        PortAssignment port;
        port.portNumber = n;
        port.device = PortKey(n);
        for (const QSerialPortInfo& info : available) {
            if (info.portName() != port.device)
                continue;
            port.present = true;
            port.description =
                DescribeAdapter(info.description(), info.manufacturer(), info.serialNumber());
        }
        ports.append(port);
    }
    return ports;
}
#else
bool SameDevice(const QString& path, const SerialDevice& device) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return path == device.node || path == device.byIdPath ||
           (!canonical.isEmpty() && canonical == QFileInfo(device.node).canonicalFilePath());
}

PortAssignment Assign(int portNumber, const SerialDevice& device) {
    return {portNumber, device.node, device.byIdPath, device.description, true};
}

// A hand-made mapping opens exactly what it names; when that is a device we found, it
// is described as one.
PortAssignment AssignMapped(int portNumber, const QString& path, const SerialDevices& found) {
    PortAssignment port;
    port.portNumber = portNumber;
    port.device = path;
    port.present = QFileInfo::exists(path);
    if (!port.present)
        return port;
    for (const SerialDevice& device : found.adapters + found.onboard.values()) {
        if (SameDevice(path, device)) {
            port.byIdPath = device.byIdPath;
            port.description = device.description;
        }
    }
    return port;
}
#endif

} // namespace

QList<PortAssignment> DiscoverPorts(const SettingsStore& settings, const PortTree& tree) {
#ifdef Q_OS_WIN
    Q_UNUSED(settings);
    Q_UNUSED(tree);
    return WindowsPorts();
#else
    const SerialDevices found = ScanSerialDevices(tree);
    QList<SerialDevice> waiting = found.adapters;
    QMap<int, SerialDevice> onboard = found.onboard;
    // One device, one number: a hand mapping takes its device away from every other rule,
    // and of two mappings to one device the lower number keeps it.
    QStringList mappedDevices;
    QList<PortAssignment> ports(kPortCount);
    for (int n = 1; n <= kPortCount; ++n) {
        const QString mapped = settings.value(kPortsSection, PortKey(n), {});
        if (mapped.isEmpty())
            continue;
        PortAssignment& port = ports[n - 1];
        port = AssignMapped(n, mapped, found);
        const QString device = QFileInfo(mapped).canonicalFilePath();
        if (!device.isEmpty() && mappedDevices.contains(device))
            port.present = false;
        mappedDevices << device;
        waiting.removeIf([&mapped](const SerialDevice& d) { return SameDevice(mapped, d); });
        onboard.removeIf([&mapped](const auto& uart) { return SameDevice(mapped, uart.value()); });
    }
    for (int n = 1; n <= kPortCount; ++n) {
        PortAssignment& port = ports[n - 1];
        port.portNumber = n;
        if (port.device.isEmpty() && onboard.contains(n - 1))
            port = Assign(n, onboard.value(n - 1));
    }
    for (PortAssignment& port : ports) {
        if (!port.device.isEmpty())
            continue;
        if (waiting.isEmpty())
            port.device = tree.devices + QStringLiteral("/ttyS%1").arg(port.portNumber - 1);
        else
            port = Assign(port.portNumber, waiting.takeFirst());
    }
    return ports;
#endif
}

QString LastingName(const PortAssignment& port) {
    return port.byIdPath.isEmpty() ? port.device : port.byIdPath;
}

std::optional<int> PortOpening(const QList<PortAssignment>& ports, const QString& lastingName) {
    for (const PortAssignment& port : ports) {
        if (port.present && !lastingName.isEmpty() &&
            (port.byIdPath == lastingName || port.device == lastingName))
            return port.portNumber;
    }
    return std::nullopt;
}

QString PortSummary(const PortAssignment& port) {
    if (!port.present)
        return port.device + QStringLiteral(": nothing is plugged in");
    return port.description.isEmpty() ? port.device : port.device + ": " + port.description;
}

} // namespace platform
