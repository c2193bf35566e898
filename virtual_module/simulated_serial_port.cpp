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
    if (!m_present)
        return reply;
    for (const std::string& command : m_framer.feed(bytes).commands) {
        ++m_receivedByKeyword[CommandKeyword(command)];
        for (const Segment& segment : m_handler.handle(command, m_faults, false).segments) {
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

void SimulatedModule::setPresent(bool present) {
    const std::lock_guard lock(m_mutex);
    // A module put in starts with a fresh line: nothing half received from before.
    if (present && !m_present)
        m_framer = CommandFramer();
    m_present = present;
}

void SimulatedModule::replace(ModuleSettings settings) {
    const std::lock_guard lock(m_mutex);
    m_handler = CommandHandler(std::move(settings));
    m_framer = CommandFramer();
    m_faults = {};
    m_present = true;
}

void SimulatedModule::setAdapterPlugged(bool plugged) {
    const std::lock_guard lock(m_mutex);
    m_adapterPlugged = plugged;
}

bool SimulatedModule::isAdapterPlugged() const {
    const std::lock_guard lock(m_mutex);
    return m_adapterPlugged;
}

bool SimulatedModule::isPresent() const {
    const std::lock_guard lock(m_mutex);
    return m_present;
}

void SimulatedModule::setFaults(Faults faults) {
    const std::lock_guard lock(m_mutex);
    m_faults = std::move(faults);
}

ModuleSettings SimulatedModule::settings() const {
    const std::lock_guard lock(m_mutex);
    return m_handler.settings();
}

std::size_t SimulatedModule::receivedCount(const std::string& keyword) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_receivedByKeyword.find(keyword);
    return found == m_receivedByKeyword.end() ? 0 : found->second;
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
    if (m_portNumber != m_home) {
        m_errorDescription =
            QStringLiteral("Nothing is plugged in there; the simulated module is on COM%1.")
                .arg(m_home);
        return false;
    }
    if (!m_module.isAdapterPlugged()) {
        m_errorDescription = QStringLiteral("No such file or directory");
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
    if (m_open && !m_module.isAdapterPlugged())
        close();
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
    return portNumber == m_home ? kDeviceName : QString();
}

QList<platform::PortAssignment> SimulatedSerialPort::discoverPorts() const {
    return SimulatedPorts();
}

QString SimulatedSerialPort::openedDevice() const {
    return m_open ? kDeviceName : QString();
}

} // namespace virtual_module
