#include "port_mapping.h"

#include <QSettings>

namespace virtual_module {
namespace {

// The same store the tool reads, opened afresh each time so that other processes'
// changes are seen.
QSettings OpenStore() {
    return {QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication,
            kSettingsApplication};
}

} // namespace

QString PortMappingKey(int comPort) {
    return QStringLiteral("Ports/COM%1").arg(comPort);
}

std::optional<QString> MappedDevice(int comPort) {
    const QSettings store = OpenStore();
    const QString key = PortMappingKey(comPort);
    if (!store.contains(key))
        return std::nullopt;
    return store.value(key).toString();
}

QString SettingsLocation() {
    const QSettings store = OpenStore();
    return store.fileName();
}

PortMapping::~PortMapping() {
    restore();
}

bool PortMapping::record(int comPort, const QString& device) {
    if (m_recorded)
        restore();
    QSettings store = OpenStore();
    const QString key = PortMappingKey(comPort);
    m_previous =
        store.contains(key) ? std::optional<QString>(store.value(key).toString()) : std::nullopt;
    store.setValue(key, device);
    store.sync();
    if (store.status() != QSettings::NoError)
        return false;
    m_recorded = true;
    m_comPort = comPort;
    m_device = device;
    return true;
}

PortMapping::Restored PortMapping::restore() {
    if (!m_recorded)
        return Restored::NothingRecorded;
    m_recorded = false;
    QSettings store = OpenStore();
    const QString key = PortMappingKey(m_comPort);
    if (store.value(key).toString() != m_device)
        return Restored::ChangedByOthers;
    Restored result = Restored::KeyRemoved;
    if (m_previous) {
        store.setValue(key, *m_previous);
        result = Restored::PreviousPutBack;
    } else {
        store.remove(key);
    }
    store.sync();
    return result;
}

} // namespace virtual_module
