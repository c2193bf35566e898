#include "application.h"

#include "resources/program_identity.h"

#include <QApplication>

namespace main_window {

void PrepareApplication() {
    QApplication::setApplicationName(platform::kApplicationTitle);
    QApplication::setOrganizationName(platform::kApplicationTitle);
    resources::ApplyProgramIdentity();
}

Application::Application() {
    m_messages.setParentWidget(&m_window);
}

void Application::start() {
    m_window.Form_Load();
    m_window.show();
}

} // namespace main_window
