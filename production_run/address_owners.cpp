#include "address_owners.h"

#include "production_record/record_filter.h"

namespace production_run {
namespace {

// "0012 6F 3A 0001" and "00126f3a0001" are one module, as the record claims for it.
QString KeyOf(const QString& deviceAddress) {
    return production_record::AddressKey(deviceAddress);
}

} // namespace

std::optional<QString> AddressOwners::take(const QString& deviceAddress, const QString& port) {
    const QString key = KeyOf(deviceAddress);
    std::lock_guard lock(m_mutex);
    const auto taken = m_ports.constFind(key);
    // The same port again is the same module put back, or written again.
    if (taken != m_ports.constEnd() && *taken != port)
        return *taken;
    m_ports.insert(key, port);
    return std::nullopt;
}

std::optional<QString> AddressOwners::ownerOf(const QString& deviceAddress) {
    std::lock_guard lock(m_mutex);
    const auto taken = m_ports.constFind(KeyOf(deviceAddress));
    return taken != m_ports.constEnd() ? std::optional<QString>(*taken) : std::nullopt;
}

void AddressOwners::release(const QString& deviceAddress, const QString& port) {
    const QString key = KeyOf(deviceAddress);
    std::lock_guard lock(m_mutex);
    if (m_ports.value(key) == port)
        m_ports.remove(key);
}

} // namespace production_run
