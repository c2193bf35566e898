// Which port's module answered with each device address in a run: the record keeps unit
// numbers and values rows by that address, so two modules with one address (clones, a
// firmware fault) would be given the same.
#pragma once

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace production_run {

class AddressOwners {
public:
    // Takes the address for the port: the other port whose module took it first, or nothing.
    std::optional<QString> take(const QString& deviceAddress, const QString& port);
    // The port whose module holds the address now, if any.
    std::optional<QString> ownerOf(const QString& deviceAddress);
    // The port's module with that address has left: another may take it.
    void release(const QString& deviceAddress, const QString& port);

private:
    std::mutex m_mutex;
    QHash<QString, QString> m_ports;
};

} // namespace production_run
