#include "port_listing.h"

#include "platform/port_names.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace cli {
namespace {

constexpr int kPortCount = 16;

QString Describe(const QSerialPortInfo& info) {
    QStringList parts;
    if (!info.description().isEmpty())
        parts << info.description();
    if (!info.manufacturer().isEmpty())
        parts << QStringLiteral("(%1)").arg(info.manufacturer());
    if (!info.serialNumber().isEmpty())
        parts << QStringLiteral("serial %1").arg(info.serialNumber());
    return parts.join(QLatin1Char(' '));
}

} // namespace

QList<PortEntry> ListPorts() {
    platform::QtSettingsStore settings;
    const platform::QtSerialPort port(settings);
    const QList<QSerialPortInfo> present = QSerialPortInfo::availablePorts();
    QList<PortEntry> entries;
    for (int number = 1; number <= kPortCount; ++number) {
        const QString device = port.deviceFor(number);
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const auto found =
            std::find_if(present.begin(), present.end(), [&](const QSerialPortInfo& info) {
                return info.portName() == device || info.systemLocation() == device ||
                       (!canonical.isEmpty() && info.systemLocation() == canonical);
            });
        const bool mapped =
            !settings.value(platform::kPortsSection, platform::PortKey(number), {}).isEmpty();
        if (found != present.end()) {
            entries.append({platform::PortKey(number), device, Describe(*found)});
        } else if (mapped && QFileInfo::exists(device)) {
            entries.append(
                {platform::PortKey(number), device,
                 QStringLiteral("mapped in %1").arg(platform::QtSettingsStore::location())});
        }
    }
    return entries;
}

} // namespace cli
