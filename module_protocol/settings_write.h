// Writing the window's settings to the module, one acknowledged command at a time.
#pragma once

#include "serial_link/link.h"

#include <QList>
#include <QString>

#include <functional>

namespace modProg {

// The window's fields as the write sends them, unchanged.
struct SettingsToWrite {
    QString name;
    QString pinCode;
    QString baudRate;
    QString stopBits;
    QString parityLetter;
    bool master = false;
    QString connectAddress;
    bool discoverable = false;
    bool pinRequest = false;
};

// The setting that a command of the write carries.
enum class Setting {
    Name,
    PinCode,
    BaudRate,
    StopBits,
    Parity,
    Role,
    ConnectAddress,
    Visibility,
    PinRequest,
};

struct WriteStep {
    Setting setting;
    QString command;
};

// The commands of a write, in the order they are sent, each with the setting it carries.
QList<WriteStep> WriteSequence(const SettingsToWrite& settings);

// Called before each command goes out, with its place in the sequence counting from 1.
using WriteProgress = std::function<void(qsizetype command, qsizetype commands)>;

// Sends the sequence, each command once the one before was acknowledged with "OK", and
// stops at the first that was not: how many were acknowledged.
qsizetype WriteAcknowledged(modComm::Link& link, const SettingsToWrite& settings,
                            const WriteProgress& progress = {});
// True when every command was acknowledged.
bool WriteSettings(modComm::Link& link, const SettingsToWrite& settings);

} // namespace modProg
