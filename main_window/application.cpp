#include "application.h"

namespace main_window {

Application::Application() {
    m_messages.setParentWidget(&m_window);
}

void Application::start() {
    m_window.Form_Load();
    m_window.show();
}

} // namespace main_window
