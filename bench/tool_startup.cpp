// The tool started exactly as cordelo-setup starts, ending at its first paint.
#include "first_paint.h"

#include "main_window/application.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    main_window::PrepareApplication();

    main_window::Application tool;
    bench::ExitAfterFirstPaint(tool.window());
    tool.start();
    return QApplication::exec();
}
