// The explanation shown when a port cannot be opened: the system's reason, the device,
// and what the user can do about it.
#pragma once

#include <QString>

namespace platform {

enum class OpenFailure { NotFound, PermissionDenied, Busy, NotSerial, Other };

// Who reads the advice: a user who chooses the port (the window's list, a --port), or the
// operator of a line's slot, whose port the job fixes and who has no list to choose from.
enum class AdviceFor { PortChooser, LineSlot };

struct OpenErrorFacts {
    OpenFailure failure = OpenFailure::Other;
    QString reason;           // the operating system's words
    QString device;           // the path or name that was opened
    int portNumber = 0;       // 0 when the device was given by its path
    QString settingsLocation; // where COMn can be mapped to a device
    AdviceFor reader = AdviceFor::PortChooser;
};

QString DescribeOpenError(const OpenErrorFacts& facts);

} // namespace platform
