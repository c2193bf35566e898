// The explanation shown when a port cannot be opened: the system's reason, the device,
// and what the user can do about it.
#pragma once

#include <QString>

namespace platform {

enum class OpenFailure { NotFound, PermissionDenied, Busy, NotSerial, Other };

struct OpenErrorFacts {
    OpenFailure failure = OpenFailure::Other;
    QString reason;           // the operating system's words
    QString device;           // the path or name that was opened
    int portNumber = 0;       // 0 when the device was given by its path
    QString settingsLocation; // where COMn can be mapped to a device
};

QString DescribeOpenError(const OpenErrorFacts& facts);

} // namespace platform
