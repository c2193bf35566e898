// A serial port whose replies a test scripts: bytes that arrive at a given time on the
// virtual clock, and answers to written commands. It records every operation.
#pragma once

#include "fake_pacing.h"

#include "platform/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>

#include <chrono>
#include <functional>

namespace doubles {

class ScriptedSerialPort : public platform::SerialPort {
public:
    explicit ScriptedSerialPort(FakePacing& pacing) : m_pacing(pacing) {}

    void setCommPort(int portNumber) override;
    int commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override;
    void setRtsEnable(bool enable) override;
    void setInputLen(int length) override;

    bool open() override;
    QString errorDescription() const override { return m_openError; }
    void close() override;
    bool isOpen() const override { return m_open; }

    void discardInput() override;
    void write(const QByteArray& text) override;
    QByteArray readAll() override;
    // Moves the virtual clock to the next scripted arrival, or on by the timeout.
    bool waitForInput(std::chrono::milliseconds timeout) override;

    QString deviceFor(int portNumber) const override;
    QList<platform::PortAssignment> discoverPorts() const override;
    QString openedDevice() const override;

    // Script: bytes readable from now on, or from a time after now.
    void feed(const QByteArray& bytes, std::chrono::milliseconds after = {});
    // Script: whenever this exact text is written, these bytes arrive after the delay.
    void answer(const QByteArray& command, const QByteArray& reply,
                std::chrono::milliseconds after = {});
    // Script: runs on every write, after the scripted answers, for replies that depend
    // on what came before.
    void setOnWrite(std::function<void(const QByteArray&)> hook) { m_onWrite = std::move(hook); }
    void failOpen(const QString& description) { m_openError = description; }
    // Script: what the ports open from now on; until then COMn opens /dev/scriptedn.
    void setPorts(const QList<platform::PortAssignment>& ports) { m_ports = ports; }
    // The device goes away: the port reads as closed from now on.
    void vanish() { m_open = false; }

    QList<QByteArray> written() const { return m_written; }
    QByteArray wire() const { return m_written.join(); }
    int countWritten(const QByteArray& text) const { return m_written.count(text); }
    int reads() const { return m_reads; }
    int opens() const { return m_opens; }
    // "CommPort=3", "Settings=9600,N,8,1", "RTSEnable=1", "InputLen=0", "Open", "Close",
    // "Discard", in the order they happened.
    QStringList operations() const { return m_operations; }

private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        QByteArray bytes;
    };

    FakePacing& m_pacing;
    int m_commPort = 1;
    bool m_open = false;
    QString m_openError;
    QList<Pending> m_pending;
    QMap<QByteArray, QPair<QByteArray, std::chrono::milliseconds>> m_answers;
    QList<QByteArray> m_written;
    std::function<void(const QByteArray&)> m_onWrite;
    QStringList m_operations;
    QList<platform::PortAssignment> m_ports;
    int m_reads = 0;
    int m_opens = 0;
};

} // namespace doubles
