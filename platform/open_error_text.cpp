#include "open_error_text.h"

#include "port_names.h"

namespace platform {
namespace {

QString Advice(const OpenErrorFacts& facts) {
    const QString port = PortKey(facts.portNumber);
    switch (facts.failure) {
    case OpenFailure::NotFound:
        if (facts.portNumber == 0)
            return QStringLiteral("Plug in the adapter, or check the device path.");
#ifdef Q_OS_WIN
        return QStringLiteral("Plug in the adapter, or choose the COM port that Device "
                              "Manager shows for it.");
#else
        return QStringLiteral("Plug in the adapter, or map %1 to it with the line\n"
                              "%1=/dev/ttyUSB0\n"
                              "in section [%2] of %3")
            .arg(port, kPortsSection, facts.settingsLocation);
#endif
    case OpenFailure::PermissionDenied:
#ifdef Q_OS_WIN
        return QStringLiteral("Windows answers \"access denied\" when another program holds "
                              "the port. Close that program and try again.");
#else
        return QStringLiteral("Your user must be in the group \"dialout\" to use serial "
                              "ports: run \"sudo adduser $USER dialout\", then log out and "
                              "in again.");
#endif
    case OpenFailure::Busy:
        return QStringLiteral("Another program holds the port. Close it and try again.");
    case OpenFailure::NotSerial:
        if (facts.portNumber == 0)
            return QStringLiteral("This is not a serial device. Check the device path.");
        return QStringLiteral("This is not a serial device. Check which device %1 is "
                              "mapped to.")
            .arg(port);
    case OpenFailure::Other:
        break;
    }
    return QStringLiteral("Check the adapter and its cable, then try again.");
}

} // namespace

QString DescribeOpenError(const OpenErrorFacts& facts) {
    return facts.reason + QStringLiteral(": ") + facts.device + QStringLiteral("\n") +
           Advice(facts);
}

} // namespace platform
