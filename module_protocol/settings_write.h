// Writing the window's settings to the module, one acknowledged command at a time.
#pragma once

#include "serial_link/link.h"

#include <QString>

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

// True when every command was acknowledged with "OK"; stops at the first that was not.
bool WriteSettings(modComm::Link& link, const SettingsToWrite& settings);

} // namespace modProg
