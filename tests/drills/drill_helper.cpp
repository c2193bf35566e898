// A second program for the drills that need one: it holds a port open the way another
// program at the bench would, or tries an open or the settings store under whatever
// user it was started as, and prints what it saw.
//
//   drill_helper hold <device>   open the device, print "held", keep it until stdin ends
//   drill_helper open <device>   try the tool's open; print "opened" or the message shown
//   drill_helper store <port>    print the saved port, then try to save <port>
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"
#include "serial_link/port_session.h"

#include "memory_settings_store.h"
#include "recording_message_box.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int OpenDevice(const QString& device, bool hold) {
    doubles::MemorySettingsStore settings;
    settings.setValue(QStringLiteral("Ports"), QStringLiteral("COM1"), device);
    platform::QtSerialPort port{settings};
    doubles::RecordingMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    modComm::Link link{platform, {}};

    if (!modComm::OpenPort(link, 1)) {
        std::printf("%s\n", qPrintable(messages.texts().join(QLatin1Char('\n'))));
        return 1;
    }
    std::printf("%s\n", hold ? "held" : "opened");
    std::fflush(stdout);
    if (hold) {
        std::string line;
        while (std::getline(std::cin, line)) {
        }
    }
    modComm::ClosePort(link);
    return 0;
}

int TryStore(const QString& portNumber) {
    platform::QtSettingsStore store;
    const QString saved =
        store.value(modComm::kPropertiesSection, modComm::kCommPortKey, QStringLiteral("none"));
    const bool stored =
        store.setValue(modComm::kPropertiesSection, modComm::kCommPortKey, portNumber);
    std::printf("saved=%s stored=%d\n", qPrintable(saved), stored ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    if (args[1] == QLatin1String("hold"))
        return OpenDevice(args[2], true);
    if (args[1] == QLatin1String("open"))
        return OpenDevice(args[2], false);
    if (args[1] == QLatin1String("store"))
        return TryStore(args[2]);
    return 2;
}
