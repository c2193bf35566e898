// Modules simulated inside the program, one on each of COM1 to COMn, each with a device address
// of its own: the ports a program offers with --virtual-module, on every system.
#pragma once

#include "simulated_serial_port.h"

#include "platform/port_source.h"

#include <memory>
#include <vector>

namespace virtual_module {

class SimulatedModules : public platform::PortSource {
public:
    explicit SimulatedModules(int count = 1);

    int count() const { return static_cast<int>(m_modules.size()); }
    // The module on COM`portNumber`, from 1 to count().
    SimulatedModule& module(int portNumber) { return *m_modules.at(portNumber - 1); }

    std::unique_ptr<platform::SerialPort> make(const QString& port,
                                               const platform::SettingsStore&) const override;
    QList<platform::PortAssignment> assignments() const override;
    // The simulated ports open nothing on this machine: each name is its own.
    QString deviceOpenedBy(const QString& port) const override { return port; }

private:
    std::vector<std::unique_ptr<SimulatedModule>> m_modules;
};

// The settings of the n-th module simulated since the program started, counting from 1: the
// defaults with an address of its own, "0012 6f 3a 9b 01" for the first.
ModuleSettings NthSimulatedModule(int n);

} // namespace virtual_module
