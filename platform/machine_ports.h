// The serial ports of this machine, as COM names or device paths.
#pragma once

#include "port_source.h"

namespace platform {

class MachinePorts : public PortSource {
public:
    explicit MachinePorts(PortTree tree = {}) : m_tree(std::move(tree)) {}

    std::unique_ptr<SerialPort> make(const QString& port,
                                     const SettingsStore& settings) const override;
    QList<PortAssignment> assignments() const override;
    QString deviceOpenedBy(const QString& port) const override;

private:
    PortTree m_tree;
};

} // namespace platform
