#include "simulated_modules.h"

#include "platform/port_names.h"

namespace virtual_module {

SimulatedModules::SimulatedModules(int count) {
    for (int n = 1; n <= count; ++n)
        m_modules.push_back(std::make_unique<SimulatedModule>(NthSimulatedModule(n)));
}

std::unique_ptr<platform::SerialPort> SimulatedModules::make(const QString& port,
                                                             const platform::SettingsStore&) const {
    const int number = platform::PortNumberOf(port);
    // A name outside the simulated ports gets a port that opens nothing, and says so.
    SimulatedModule& module =
        number >= 1 && number <= count() ? *m_modules[number - 1] : *m_modules.front();
    return std::make_unique<SimulatedSerialPort>(
        module, number >= 1 && number <= count() ? number : kSimulatedPortNumber);
}

QList<platform::PortAssignment> SimulatedModules::assignments() const {
    QList<platform::PortAssignment> ports = SimulatedPorts();
    for (platform::PortAssignment& port : ports) {
        if (port.portNumber <= count()) {
            port.present = true;
            port.device = ports.front().device;
            port.description = ports.front().description;
        }
    }
    return ports;
}

ModuleSettings NthSimulatedModule(int n) {
    ModuleSettings settings;
    // The last two bytes count the modules, so that no two of one program share an address.
    settings.ownAddress = QStringLiteral("0012 6f 3a %1 %2")
                              .arg((0x9b + n / 256) % 256, 2, 16, QLatin1Char('0'))
                              .arg(n % 256, 2, 16, QLatin1Char('0'))
                              .toStdString();
    return settings;
}

} // namespace virtual_module
