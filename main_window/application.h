// The program as it starts: the real platform services and the window on them.
#pragma once

#include "frm_main.h"

#include "platform/qt_message_box.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"
#include "platform/serial_trace.h"
#include "platform/tracing_serial_port.h"
#include "virtual_module/simulated_serial_port.h"

#include <memory>

class QIODevice;

namespace main_window {

// Names the running application and gives it its identity; call once the QApplication
// exists, before anything reads settings or shows a window.
void PrepareApplication();

class Application {
public:
    enum class Module { OnSerialPort, Simulated };

    // With a trace device, every byte exchanged with the module is written to it.
    explicit Application(QIODevice* trace = nullptr, Module module = Module::OnSerialPort);

    frmMain& window() { return m_window; }
    // Runs the window's load step and shows it.
    void start();

private:
    platform::QtSettingsStore m_settings;
    // Made only when asked for, so that an ordinary start pays nothing for it.
    std::unique_ptr<virtual_module::SimulatedModule> m_simulatedModule;
    std::unique_ptr<platform::SerialPort> m_port;
    platform::QtMessageBox m_messages;
    platform::QtPacing m_pacing;
    std::unique_ptr<platform::SerialTrace> m_trace;
    std::unique_ptr<platform::TracingSerialPort> m_tracedPort;
    platform::Platform m_platform;
    frmMain m_window{m_platform};
};

} // namespace main_window
