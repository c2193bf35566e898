// The four doubles wired together as one platform, for tests.
#pragma once

#include "fake_pacing.h"
#include "memory_settings_store.h"
#include "recording_message_box.h"
#include "scripted_serial_port.h"

#include "platform/platform.h"

namespace doubles {

struct TestPlatform {
    FakePacing pacing;
    ScriptedSerialPort port{pacing};
    MemorySettingsStore settings;
    RecordingMessageBox messages;
    platform::Platform platform{port, settings, messages, pacing};
};

} // namespace doubles
