#include "application.h"

#include "resources/program_identity.h"

#include <QApplication>

namespace main_window {

void PrepareApplication() {
    QApplication::setApplicationName(platform::kApplicationTitle);
    QApplication::setOrganizationName(platform::kApplicationTitle);
    resources::ApplyProgramIdentity();
}

Application::Application(QIODevice* trace)
    : m_trace(trace ? std::make_unique<platform::SerialTrace>(*trace, m_pacing) : nullptr),
      m_tracedPort(m_trace ? std::make_unique<platform::TracingSerialPort>(m_port, *m_trace)
                           : nullptr),
      m_platform{m_tracedPort ? static_cast<platform::SerialPort&>(*m_tracedPort) : m_port,
                 m_settings, m_messages, m_pacing} {
    m_messages.setParentWidget(&m_window);
}

void Application::start() {
    m_window.Form_Load();
    m_window.show();
}

} // namespace main_window
