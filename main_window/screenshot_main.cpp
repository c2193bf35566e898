// cordelo-screenshot <out.png>: renders the main window, as created, to a PNG file on
// the real platform classes, without a display.
#include "frm_main.h"

#include "platform/qt_message_box.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"

#include <QApplication>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    QTextStream errors(stderr);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        errors << "usage: cordelo-screenshot <out.png>\n";
        return 2;
    }

    platform::QtSettingsStore settings;
    platform::QtSerialPort port(settings);
    platform::QtMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};

    frmMain window(platform);
    messages.setParentWidget(&window);
    window.show();
    QApplication::processEvents();

    const QString path = arguments.at(1);
    if (!window.grab().save(path, "PNG")) {
        errors << "cannot write " << path << '\n';
        return 1;
    }
    return 0;
}
