// A serial port that writes everything it sends and receives to an exchange trace, and
// otherwise behaves exactly as the port it wraps.
#pragma once

#include "serial_port.h"
#include "serial_trace.h"

namespace platform {

class TracingSerialPort : public SerialPort {
public:
    TracingSerialPort(SerialPort& port, SerialTrace& trace) : m_port(port), m_trace(trace) {}

    void setCommPort(int portNumber) override { m_port.setCommPort(portNumber); }
    int commPort() const override { return m_port.commPort(); }
    void setSettings(const QString& settings) override;
    void setRtsEnable(bool enable) override { m_port.setRtsEnable(enable); }
    void setInputLen(int length) override { m_port.setInputLen(length); }

    bool open() override;
    QString errorDescription() const override { return m_port.errorDescription(); }
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }

    void discardInput() override { m_port.discardInput(); }
    void write(const QByteArray& text) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

    QString deviceFor(int portNumber) const override { return m_port.deviceFor(portNumber); }
    QList<PortAssignment> discoverPorts() const override { return m_port.discoverPorts(); }
    QString openedDevice() const override { return m_port.openedDevice(); }

private:
    // COMn, or the device when the port was opened by its path.
    QString portName() const;

    SerialPort& m_port;
    SerialTrace& m_trace;
    QString m_settings;
};

} // namespace platform
