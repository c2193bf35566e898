// A simulated module answering through the serial port interface, paced like the real line.
#include "simulated_serial_port.h"

#include <algorithm>
#include <thread>

namespace virtual_module {

namespace {

const QString kDeviceName = QStringLiteral("simulated module");

} // namespace

std::vector<SimulatedModule::TimedByte> SimulatedModule::receive(std::string_view bytes,
                                                                 Clock::time_point now) {
    const std::lock_guard lock(m_mutex);
    std::vector<TimedByte> reply;
    for (const std::string& command : m_framer.feed(bytes).commands) {
        for (const Segment& segment : m_handler.handle(command, Faults{}, false).segments) {
            Clock::time_point at = std::max(now, m_lineFreeAt) + segment.pauseBefore;
            for (const char byte : segment.bytes) {
                at += std::chrono::duration_cast<Clock::duration>(kCharPeriod9600);
                reply.emplace_back(at, byte);
            }
            m_lineFreeAt = at;
        }
    }
    return reply;
}

QList<platform::PortAssignment> SimulatedPorts() {
    QList<platform::PortAssignment> ports;
    for (int number = 1; number <= platform::kPortCount; ++number) {
        platform::PortAssignment port;
        port.portNumber = number;
        port.present = number == kSimulatedPortNumber;
        if (port.present) {
            port.device = kDeviceName;
            port.description = QStringLiteral("an adapter module simulated by this program");
        }
        ports.append(port);
    }
    return ports;
}

bool SimulatedSerialPort::open() {
    m_errorDescription.clear();
    if (m_portNumber != kSimulatedPortNumber) {
        m_errorDescription =
            QStringLiteral("Nothing is plugged in there; the simulated module is on COM%1.")
                .arg(kSimulatedPortNumber);
        return false;
    }
    m_open = true;
    return true;
}

void SimulatedSerialPort::close() {
    m_open = false;
    m_incoming.clear();
}

void SimulatedSerialPort::discardInput() {
    const auto now = SimulatedModule::Clock::now();
    while (!m_incoming.empty() && m_incoming.front().first <= now)
        m_incoming.pop_front();
}

void SimulatedSerialPort::write(const QByteArray& text) {
    if (!m_open)
        return;
    const auto reply = m_module.receive(std::string_view(text.constData(), text.size()),
                                        SimulatedModule::Clock::now());
    m_incoming.insert(m_incoming.end(), reply.begin(), reply.end());
}

QByteArray SimulatedSerialPort::readAll() {
    QByteArray arrived;
    const auto now = SimulatedModule::Clock::now();
    while (!m_incoming.empty() && m_incoming.front().first <= now) {
        arrived += m_incoming.front().second;
        m_incoming.pop_front();
    }
    return arrived;
}

bool SimulatedSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    if (!m_open)
        return false;
    const auto deadline = SimulatedModule::Clock::now() + timeout;
    // A sleep may end a little early (Windows' timer is coarse): wait on until the byte is due.
    for (auto now = SimulatedModule::Clock::now();; now = SimulatedModule::Clock::now()) {
        if (!m_incoming.empty() && m_incoming.front().first <= now)
            return true;
        if (now >= deadline)
            return false;
        std::this_thread::sleep_until(
            m_incoming.empty() ? deadline : std::min(deadline, m_incoming.front().first));
    }
}

QString SimulatedSerialPort::deviceFor(int portNumber) const {
    return portNumber == kSimulatedPortNumber ? kDeviceName : QString();
}

QList<platform::PortAssignment> SimulatedSerialPort::discoverPorts() const {
    return SimulatedPorts();
}

QString SimulatedSerialPort::openedDevice() const {
    return m_open ? kDeviceName : QString();
}

} // namespace virtual_module
