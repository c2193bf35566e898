// Cordelo Setup: configures a serial-to-Bluetooth adapter module.
#include "application.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    main_window::PrepareApplication();

    main_window::Application tool;
    tool.start();
    return QApplication::exec();
}
