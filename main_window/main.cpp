// Cordelo Setup: configures a serial-to-Bluetooth adapter module.
#include "application.h"

#include "resources/program_identity.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::kApplicationTitle);
    QApplication::setOrganizationName(platform::kApplicationTitle);
    resources::ApplyProgramIdentity();

    main_window::Application tool;
    tool.start();
    return QApplication::exec();
}
