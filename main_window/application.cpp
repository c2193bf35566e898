#include "application.h"

#include "resources/program_identity.h"

#include <QApplication>

namespace main_window {

void PrepareApplication() {
    QApplication::setApplicationName(platform::kApplicationTitle);
    QApplication::setOrganizationName(platform::kApplicationTitle);
    resources::ApplyProgramIdentity();
}

namespace {

std::unique_ptr<platform::SerialPort>
MakePort(Application::Module module, platform::SettingsStore& settings,
         std::unique_ptr<virtual_module::SimulatedModule>& simulated) {
    if (module != Application::Module::Simulated)
        return std::make_unique<platform::QtSerialPort>(settings);
    simulated = std::make_unique<virtual_module::SimulatedModule>();
    return std::make_unique<virtual_module::SimulatedSerialPort>(*simulated);
}

} // namespace

Application::Application(QIODevice* trace, Module module)
    : m_port(MakePort(module, m_settings, m_simulatedModule)),
      m_trace(trace ? std::make_unique<platform::SerialTrace>(*trace, m_pacing) : nullptr),
      m_tracedPort(m_trace ? std::make_unique<platform::TracingSerialPort>(*m_port, *m_trace)
                           : nullptr),
      m_platform{m_tracedPort ? static_cast<platform::SerialPort&>(*m_tracedPort) : *m_port,
                 m_settings, m_messages, m_pacing} {
    m_messages.setParentWidget(&m_window);
}

void Application::start() {
    m_window.Form_Load();
    m_window.show();
}

} // namespace main_window
