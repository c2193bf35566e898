// cordelo-screenshot <out.png> [--connected]: renders the window as a user first sees it,
// or connected to an in-process virtual module, to a PNG file, without a display.
#include "main_window/application.h"

#include "platform/qt_settings_store.h"

#include "virtual_module/virtual_module.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The user's own settings are neither read nor changed.
    QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", configuration.path().toLocal8Bit());
    QApplication application(argc, argv);

    QTextStream errors(stderr);
    const QStringList arguments = QApplication::arguments();
    const bool connected = arguments.size() == 3 && arguments.at(2) == "--connected";
    if (arguments.size() != 2 && !connected) {
        errors << "usage: cordelo-screenshot <out.png> [--connected]\n";
        return 2;
    }

    virtual_module::VirtualModule module;
    if (connected) {
        if (!module.start()) {
            errors << "no virtual module: " << module.errorText().c_str() << '\n';
            return 1;
        }
        platform::QtSettingsStore().setValue("Ports", "COM1",
                                             QString::fromStdString(module.devicePath()));
    }

    main_window::Application tool;
    tool.start();
    if (connected)
        tool.window().cmdConnect->click();
    QApplication::processEvents();

    const QString path = arguments.at(1);
    if (!tool.window().grab().save(path, "PNG")) {
        errors << "cannot write " << path << '\n';
        return 1;
    }
    return 0;
}
