// The serial port on QSerialPort, with the facts of this platform handled: reads pull
// what the operating system holds, writes reach it before returning, closing drains
// output first for at most a second, and a lost device closes the port at once.
#pragma once

#include "line_settings.h"
#include "open_error_text.h"
#include "serial_port.h"

#include <QObject>
#include <QSerialPort>

namespace platform {

class SettingsStore;

class QtSerialPort : public QObject, public SerialPort {
    Q_OBJECT

public:
    explicit QtSerialPort(const SettingsStore& settings, PortTree tree = {},
                          QObject* parent = nullptr);
    ~QtSerialPort() override;

    void setCommPort(int portNumber) override { m_commPort = portNumber; }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    void setRtsEnable(bool enable) override { m_rtsEnable = enable; }
    void setInputLen(int length) override { m_inputLen = length; }

    bool open() override;
    QString errorDescription() const override { return m_errorDescription; }
    void close() override;
    bool isOpen() const override { return m_port.isOpen() && !m_lost; }

    void discardInput() override;
    void write(const QByteArray& text) override;
    QByteArray readAll() override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

    // Opens this device whatever the port number says, for a device given by its path;
    // deviceFor() then names it. Empty goes back to opening by port number.
    void setDevicePath(const QString& device) { m_devicePath = device; }
    // Whom errorDescription() advises.
    void setAdviceFor(AdviceFor reader) { m_adviceFor = reader; }
    QString deviceFor(int portNumber) const override;
    QList<PortAssignment> discoverPorts() const override;
    QString openedDevice() const override { return m_openedDevice; }

private:
    void handleError(QSerialPort::SerialPortError error);
    void closeLostPort();
    PortAssignment portToOpen() const;
    void describeOpenFailure(const PortAssignment& target);

    const SettingsStore& m_settings;
    const PortTree m_tree;
    QSerialPort m_port;
    int m_commPort = 1;
    QString m_devicePath;
    AdviceFor m_adviceFor = AdviceFor::PortChooser;
    LineSettings m_lineSettings;
    bool m_rtsEnable = false;
    int m_inputLen = 0;
    bool m_lost = false;
    QString m_errorDescription;
    QString m_openedDevice;
};

} // namespace platform
