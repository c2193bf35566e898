// The serial ports of this machine, as COM names or device paths.
#pragma once

#include "open_error_text.h"
#include "port_source.h"

namespace platform {

class MachinePorts : public PortSource {
public:
    // `advice` says whom a port that does not open advises.
    explicit MachinePorts(PortTree tree = {}, AdviceFor advice = AdviceFor::PortChooser)
        : m_tree(std::move(tree)), m_advice(advice) {}

    std::unique_ptr<SerialPort> make(const QString& port,
                                     const SettingsStore& settings) const override;
    QList<PortAssignment> assignments() const override;
    QString deviceOpenedBy(const QString& port) const override;

private:
    PortTree m_tree;
    AdviceFor m_advice;
};

} // namespace platform
