// The tool's serial link on the real serial port, with COM1 mapped to a given device and
// its message boxes recorded.
#pragma once

#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "serial_link/link.h"

#include "memory_settings_store.h"
#include "recording_message_box.h"

namespace doubles {

struct LinkOnDevice {
    explicit LinkOnDevice(const QString& device) {
        settings.setValue(QStringLiteral("Ports"), QStringLiteral("COM1"), device);
    }

    doubles::MemorySettingsStore settings;
    platform::QtSerialPort port{settings};
    doubles::RecordingMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    modComm::Link link{platform, {}};
};

} // namespace doubles
