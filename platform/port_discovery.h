// What each of COM1 to COM16 opens on this system, worked out afresh on every call: the
// one place that decides it, for the window and for the command line alike.
#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace platform {

class SettingsStore;

inline constexpr int kPortCount = 16;

// Where a Linux system shows its serial devices; tests point these at a scratch tree.
struct PortTree {
    QString devices = QStringLiteral("/dev");
    QString byId = QStringLiteral("/dev/serial/by-id");
    QString sysTty = QStringLiteral("/sys/class/tty");
};

struct PortAssignment {
    int portNumber = 0;
    QString device;       // the path (Windows: the name) that COMn opens
    QString byIdPath;     // its lasting /dev/serial/by-id link, when it has one
    QString description;  // such as "FT232R USB UART (FTDI), serial A10K1234"
    bool present = false; // something is really there to open
};

// COM1 to COM16 in this order. On Linux a [Ports] COMn line wins; an onboard UART keeps
// COM(n+1) = /dev/ttySn; every other adapter takes the lowest number left, in the order of
// its by-id name; a number still left opens /dev/ttyS(n-1). On Windows COMn is COMn.
QList<PortAssignment> DiscoverPorts(const SettingsStore& settings, const PortTree& tree = {});

// The name a device is remembered by: its by-id path, else its device path.
QString LastingName(const PortAssignment& port);
// The port number that now opens the remembered device, when it is there.
std::optional<int> PortOpening(const QList<PortAssignment>& ports, const QString& lastingName);
// One plain line for people: "/dev/ttyUSB0: FT232R USB UART (FTDI), serial A10K1234".
QString PortSummary(const PortAssignment& port);

} // namespace platform
