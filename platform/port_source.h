// Where a program's serial ports come from: the machine's own, or modules simulated inside the
// program. Only a program's entry point chooses; what runs on the ports never knows which.
#pragma once

#include "port_discovery.h"
#include "serial_port.h"

#include <QList>
#include <QString>

#include <memory>

namespace platform {

class SettingsStore;

class PortSource {
public:
    virtual ~PortSource() = default;

    // A port for PORT (a COM name or a device path), not yet opened. Called from the thread
    // that will use it.
    virtual std::unique_ptr<SerialPort> make(const QString& port,
                                             const SettingsStore& settings) const = 0;
    // COM1 to COM16 as this source has them.
    virtual QList<PortAssignment> assignments() const = 0;
    // What PORT opens, however it is spelt (COM3 and the path it opens, a by-id link and its
    // target), so that no device gets two threads.
    virtual QString deviceOpenedBy(const QString& port) const = 0;
};

} // namespace platform
