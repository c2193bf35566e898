// The platform services the tool is built on, handed to the code that needs them.
#pragma once

#include "message_box.h"
#include "pacing.h"
#include "serial_port.h"
#include "settings_store.h"

namespace platform {

inline const QString kApplicationTitle = QStringLiteral("Cordelo Setup");

struct Platform {
    SerialPort& port;
    SettingsStore& settings;
    MessageBox& messages;
    Pacing& pacing;
};

} // namespace platform
