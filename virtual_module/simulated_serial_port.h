// The simulated module behind the tool's own serial port interface, on COM1: the way to try the
// tool without an adapter on every system, Windows included, where no pseudo-terminal exists.
#pragma once

#include "command_framer.h"
#include "command_handler.h"

#include "platform/serial_port.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace virtual_module {

inline constexpr int kSimulatedPortNumber = 1;

// COM1 to COM16 as the simulated module's programs see them: the module on COM1, nothing else.
QList<platform::PortAssignment> SimulatedPorts();

// One module on one line, shared by every port object that opens its port (the command line
// runs each module on a thread of its own). It keeps its settings for as long as the program
// runs; taken out, it answers nothing until it is put in again.
class SimulatedModule {
public:
    using Clock = std::chrono::steady_clock;
    using TimedByte = std::pair<Clock::time_point, char>;

    explicit SimulatedModule(ModuleSettings settings = {}) : m_handler(std::move(settings)) {}

    // Takes what the tool sent and returns the reply bytes, each with the moment its last bit
    // has arrived at 9600 baud.
    std::vector<TimedByte> receive(std::string_view bytes, Clock::time_point now);

    void setPresent(bool present);
    // The adapter the module hangs on, pulled out or plugged in: unplugged, its port does not
    // open, and one that is open closes at its next use.
    void setAdapterPlugged(bool plugged);
    bool isAdapterPlugged() const;
    // Another module put in its place: these settings, no faults, present.
    void replace(ModuleSettings settings);
    bool isPresent() const;
    // Takes effect for the next command.
    void setFaults(Faults faults);
    ModuleSettings settings() const;
    // How many commands with this keyword ("NAME", "PING") modules in this place received.
    std::size_t receivedCount(const std::string& keyword) const;

private:
    mutable std::mutex m_mutex;
    bool m_present = true;
    bool m_adapterPlugged = true;
    std::map<std::string, std::size_t> m_receivedByKeyword;
    Faults m_faults;
    CommandFramer m_framer;
    CommandHandler m_handler;
    Clock::time_point m_lineFreeAt;
};

class SimulatedSerialPort : public platform::SerialPort {
public:
    // The module answers on COM`home` alone.
    explicit SimulatedSerialPort(SimulatedModule& module, int home = kSimulatedPortNumber)
        : m_module(module), m_home(home) {}

    void setCommPort(int portNumber) override { m_portNumber = portNumber; }
    int commPort() const override { return m_portNumber; }
    void setSettings(const QString&) override {}
    void setRtsEnable(bool) override {}
    void setInputLen(int) override {}

    bool open() override;
    QString errorDescription() const override { return m_errorDescription; }
    void close() override;
    bool isOpen() const override { return m_open; }

    void discardInput() override;
    void write(const QByteArray& text) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

    QString deviceFor(int portNumber) const override;
    QList<platform::PortAssignment> discoverPorts() const override;
    QString openedDevice() const override;

private:
    SimulatedModule& m_module;
    const int m_home;
    int m_portNumber = 0;
    bool m_open = false;
    QString m_errorDescription;
    std::deque<SimulatedModule::TimedByte> m_incoming;
};

} // namespace virtual_module
