#include "address_owners.h"

namespace cli {

std::optional<QString> AddressOwners::take(const QString& deviceAddress, const QString& port) {
    // "0012 6F 3A 0001" and "00126f3a0001" are one module.
    QString key = deviceAddress.toUpper();
    key.remove(QLatin1Char(' '));
    std::lock_guard lock(m_mutex);
    const auto taken = m_ports.constFind(key);
    if (taken != m_ports.constEnd())
        return *taken;
    m_ports.insert(key, port);
    return std::nullopt;
}

} // namespace cli
