#include "scripted_serial_port.h"

#include <algorithm>

namespace doubles {

void ScriptedSerialPort::setCommPort(int portNumber) {
    m_commPort = portNumber;
    m_operations << QStringLiteral("CommPort=%1").arg(portNumber);
}

void ScriptedSerialPort::setSettings(const QString& settings) {
    m_operations << QStringLiteral("Settings=") + settings;
}

void ScriptedSerialPort::setRtsEnable(bool enable) {
    m_operations << QStringLiteral("RTSEnable=%1").arg(enable ? 1 : 0);
}

void ScriptedSerialPort::setInputLen(int length) {
    m_operations << QStringLiteral("InputLen=%1").arg(length);
}

bool ScriptedSerialPort::open() {
    m_operations << QStringLiteral("Open");
    if (!m_openError.isEmpty())
        return false;
    m_open = true;
    ++m_opens;
    return true;
}

void ScriptedSerialPort::close() {
    m_operations << QStringLiteral("Close");
    m_open = false;
}

void ScriptedSerialPort::discardInput() {
    m_operations << QStringLiteral("Discard");
    const auto now = m_pacing.now();
    m_pending.removeIf([now](const Pending& pending) { return pending.due <= now; });
}

void ScriptedSerialPort::write(const QByteArray& text) {
    m_written << text;
    const auto answer = m_answers.constFind(text);
    if (answer != m_answers.constEnd())
        feed(answer->first, answer->second);
    if (m_onWrite)
        m_onWrite(text);
}

QByteArray ScriptedSerialPort::readAll() {
    ++m_reads;
    QByteArray arrived;
    const auto now = m_pacing.now();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->due <= now) {
            arrived += it->bytes;
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    return arrived;
}

bool ScriptedSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    if (!m_open)
        return false;
    const auto deadline = m_pacing.now() + timeout;
    if (!m_pending.isEmpty() && m_pending.constFirst().due <= deadline) {
        m_pacing.advanceTo(m_pending.constFirst().due);
        return true;
    }
    m_pacing.advanceTo(deadline);
    return false;
}

QString ScriptedSerialPort::deviceFor(int portNumber) const {
    return discoverPorts().value(portNumber - 1).device;
}

QList<platform::PortAssignment> ScriptedSerialPort::discoverPorts() const {
    if (!m_ports.isEmpty())
        return m_ports;
    QList<platform::PortAssignment> ports;
    for (int n = 1; n <= platform::kPortCount; ++n)
        ports.append(
            platform::PortAssignment{n, QStringLiteral("/dev/scripted%1").arg(n), {}, {}, true});
    return ports;
}

QString ScriptedSerialPort::openedDevice() const {
    return platform::LastingName(discoverPorts().value(m_commPort - 1));
}

void ScriptedSerialPort::feed(const QByteArray& bytes, std::chrono::milliseconds after) {
    const auto due = m_pacing.now() + after;
    auto later = std::find_if(m_pending.begin(), m_pending.end(),
                              [due](const Pending& pending) { return pending.due > due; });
    m_pending.insert(later, {due, bytes});
}

void ScriptedSerialPort::answer(const QByteArray& command, const QByteArray& reply,
                                std::chrono::milliseconds after) {
    m_answers.insert(command, {reply, after});
}

} // namespace doubles
