// The whole tool on the real serial port, with COM1 mapped to a virtual module and its
// message boxes recorded, as a user at the bench would start it.
#pragma once

#include "frm_main.h"

#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"

#include "memory_settings_store.h"
#include "recording_message_box.h"

#include "virtual_module/virtual_module.h"

namespace doubles {

inline const QColor kGreenLamp(0, 255, 0);
inline const QColor kRedLamp(255, 0, 0);

struct ToolOnModule {
    explicit ToolOnModule(const virtual_module::VirtualModule& module) {
        plugInto(module);
        window.Form_Load();
        window.show();
    }

    // As if the adapter were moved to another device: COM1 now opens that one.
    void plugInto(const virtual_module::VirtualModule& module) {
        settings.setValue(QStringLiteral("Ports"), QStringLiteral("COM1"),
                          QString::fromStdString(module.devicePath()));
    }
    QColor lamp() const { return window.shpStatus->fillColor(); }

    doubles::MemorySettingsStore settings;
    platform::QtSerialPort port{settings};
    doubles::RecordingMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    frmMain window{platform};
};

} // namespace doubles
