#include "open_error_text.h"

#include "port_names.h"

namespace platform {
namespace {

// A slot's operator cannot pick another port: the slot's own adapter must be plugged in, or the
// line's engineer must make the slot's port open it.
QString SlotNotFoundAdvice(const OpenErrorFacts& facts) {
    const QString port = PortKey(facts.portNumber);
    const QString plugIn =
        QStringLiteral("Plug in the slot's adapter: the slot tries again by itself. ");
    if (facts.portNumber == 0)
        return plugIn + QStringLiteral("If it is plugged in, the job gives this slot the path of "
                                       "another device.");
#ifdef Q_OS_WIN
    return plugIn + QStringLiteral("If it is plugged in, Device Manager shows it under another "
                                   "COM port than %1: give the slot that port in the job.")
                        .arg(port);
#else
    return plugIn + QStringLiteral("If it is plugged in, %1 opens another device: map %1 to "
                                   "the adapter with the line\n"
                                   "%1=/dev/ttyUSB0\n"
                                   "in section [%2] of %3")
                        .arg(port, kPortsSection, facts.settingsLocation);
#endif
}

QString Advice(const OpenErrorFacts& facts) {
    const QString port = PortKey(facts.portNumber);
    switch (facts.failure) {
    case OpenFailure::NotFound:
        if (facts.reader == AdviceFor::LineSlot)
            return SlotNotFoundAdvice(facts);
        if (facts.portNumber == 0)
            return QStringLiteral("Plug in the adapter, or check the device path.");
#ifdef Q_OS_WIN
        return QStringLiteral("Plug in the adapter, or choose the COM port that Device "
                              "Manager shows for it.");
#else
        return QStringLiteral("Plug in the adapter and choose the COM port whose entry names it, "
                              "or map %1 to it with the line\n"
                              "%1=/dev/ttyUSB0\n"
                              "in section [%2] of %3\n"
                              "A USB adapter (CH340, CP210x, FTDI) that vanishes as soon as it "
                              "is plugged in has been claimed by the braille display service "
                              "brltty. Without a braille display, remove it with \"sudo apt "
                              "remove brltty\", or disable it with \"sudo systemctl mask "
                              "brltty-udev.service\".")
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
    case OpenFailure::Busy: {
        const QString held =
            QStringLiteral("Another program holds the port. Close it and try again.");
#ifdef Q_OS_WIN
        return held;
#else
        return held + QStringLiteral(
                          "\nModemManager probes a freshly plugged ttyACM adapter for several "
                          "seconds: wait a few seconds and try again. To keep it away for good, "
                          "put the line\n"
                          "ATTRS{idVendor}==\"<vendor id>\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"
                          "into a file under /etc/udev/rules.d/ (\"lsusb\" shows the vendor id "
                          "before the colon), then run \"sudo udevadm control --reload-rules\" "
                          "and plug the adapter in again.");
#endif
    }
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
