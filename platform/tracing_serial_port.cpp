#include "tracing_serial_port.h"

#include "port_names.h"

namespace platform {

void TracingSerialPort::setSettings(const QString& settings) {
    m_settings = settings;
    m_port.setSettings(settings);
}

bool TracingSerialPort::open() {
    const bool wasOpen = m_port.isOpen();
    const bool opened = m_port.open();
    if (wasOpen)
        return opened;
    if (opened) {
        m_trace.recordEvent(
            portName(),
            QStringLiteral("opened %1 at %2").arg(m_port.deviceFor(m_port.commPort()), m_settings));
    } else {
        m_trace.recordEvent(
            portName(),
            QStringLiteral("open failed: %1").arg(m_port.errorDescription().section('\n', 0, 0)));
    }
    return opened;
}

void TracingSerialPort::close() {
    const bool wasOpen = m_port.isOpen();
    m_port.close();
    if (wasOpen)
        m_trace.recordEvent(portName(), QStringLiteral("closed"));
}

void TracingSerialPort::write(const QByteArray& text) {
    if (m_port.isOpen())
        m_trace.recordSent(portName(), text);
    m_port.write(text);
}

QByteArray TracingSerialPort::readAll() {
    QByteArray received = m_port.readAll();
    m_trace.recordReceived(portName(), received);
    return received;
}

bool TracingSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    return m_port.waitForInput(timeout);
}

QString TracingSerialPort::portName() const {
    const int number = m_port.commPort();
    return number > 0 ? PortKey(number) : m_port.deviceFor(number);
}

} // namespace platform
