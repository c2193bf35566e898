// Cordelo Setup: configures a serial-to-Bluetooth adapter module.
#include "application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    main_window::PrepareApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures a serial-to-Bluetooth adapter module in one window."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write every byte exchanged with the module to FILE, one line per "
                       "burst with the milliseconds since the start, the port and the "
                       "direction, for support."),
        QStringLiteral("FILE"));
    parser.addOption(trace);
    const QCommandLineOption simulated(
        QStringLiteral("virtual-module"),
        QStringLiteral("Talk to a module simulated inside the program, on COM1, instead of a "
                       "serial port: to try the tool without an adapter."));
    parser.addOption(simulated);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "cordelo-setup: unexpected argument %s; see --help\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 1;
    }

    QFile traceFile;
    if (parser.isSet(trace)) {
        traceFile.setFileName(parser.value(trace));
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "cordelo-setup: cannot write the trace %s: %s\n",
                         qPrintable(traceFile.fileName()), qPrintable(traceFile.errorString()));
            return 1;
        }
    }

    main_window::Application tool(traceFile.isOpen() ? &traceFile : nullptr,
                                  parser.isSet(simulated)
                                      ? main_window::Application::Module::Simulated
                                      : main_window::Application::Module::OnSerialPort);
    tool.start();
    return QApplication::exec();
}
