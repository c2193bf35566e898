// The serial port the module session talks through, reduced to what the session needs.
#pragma once

#include "port_discovery.h"

#include <QByteArray>
#include <QString>

#include <chrono>

namespace platform {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setCommPort(int portNumber) = 0;
    virtual int commPort() const = 0;
    // Line settings in the form "9600,N,8,1".
    virtual void setSettings(const QString& settings) = 0;
    virtual void setRtsEnable(bool enable) = 0;
    // 0 means a read returns everything received so far.
    virtual void setInputLen(int length) = 0;

    // Opens the selected port with the settings above. On failure the port stays closed
    // and errorDescription() tells the user why and what to do.
    virtual bool open() = 0;
    virtual QString errorDescription() const = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void discardInput() = 0;
    // Hands the whole text to the operating system before returning.
    virtual void write(const QByteArray& text) = 0;
    // Returns and removes everything received so far; empty when nothing came.
    virtual QByteArray readAll() = 0;
    // Blocks until something has been received that readAll() would return, or the
    // timeout has passed; true when there is input. False at once when the port is closed.
    virtual bool waitForInput(std::chrono::milliseconds timeout) = 0;

    // The device that port number n opens, for showing to the user and for the trace.
    virtual QString deviceFor(int portNumber) const = 0;
    // What each of COM1 to COM16 opens now, worked out afresh on every call.
    virtual QList<PortAssignment> discoverPorts() const = 0;
    // The lasting name of the device the last successful open opened.
    virtual QString openedDevice() const = 0;
};

} // namespace platform
