// The serial devices a Linux system shows in /dev, /dev/serial/by-id and sysfs: onboard
// UARTs that have hardware behind them, and the adapters in the order they take numbers.
// Not QSerialPortInfo: it opens every ttyS node to judge it, drops those the user may not
// open yet (before joining dialout), and cannot be pointed at a scratch tree.
#pragma once

#include "port_discovery.h"

#include <QMap>

namespace platform {

struct SerialDevice {
    QString node;     // such as /dev/ttyUSB0
    QString byIdPath; // empty when the device has no by-id link
    QString description;
};

struct SerialDevices {
    QMap<int, SerialDevice> onboard; // by n of /dev/ttySn, up to ttyS15
    // By-id adapters sorted by their by-id names, then rfcomm links, then the others by
    // kernel name; numbers in a name sort as numbers.
    QList<SerialDevice> adapters;
};

SerialDevices ScanSerialDevices(const PortTree& tree);

// "model (maker), serial number", leaving out what is not known.
QString DescribeAdapter(const QString& model, const QString& maker, const QString& serial);

} // namespace platform
