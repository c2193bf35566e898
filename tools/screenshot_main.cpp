// cordelo-screenshot <out.png> [--connected] [--dark] [--scale N] [--station]: renders the
// window as a user first sees it, or connected to an in-process virtual module, to a PNG file,
// without a display; with a dark desktop palette, or at a device pixel ratio of N, on request;
// with --station, the station's window on simulated slots instead.
#include "station_screenshot.h"

#include "main_window/application.h"

#include "platform/qt_settings_store.h"

#include "virtual_module/virtual_module.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>

#include <optional>
#include <string_view>

namespace {

struct RenderOptions {
    QString path;
    bool connected = false;
    bool dark = false;
    bool station = false;
    QByteArray scale;
};

std::optional<RenderOptions> ParseOptions(int argc, char* argv[]) {
    if (argc < 2)
        return std::nullopt;
    RenderOptions options;
    options.path = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--connected") {
            options.connected = true;
        } else if (option == "--dark") {
            options.dark = true;
        } else if (option == "--station") {
            options.station = true;
        } else if (option == "--scale" && i + 1 < argc && QByteArray(argv[i + 1]).toDouble() > 0) {
            options.scale = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// A dark desktop colour scheme of the kind the common desktops ship, given by roles only:
// the window must take every system colour from the roles for it to read well.
QPalette DarkPalette() {
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(230, 230, 230);
    const QColor greyText(130, 130, 135);
    QPalette palette(window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Button, window.lighter(120));
    palette.setColor(QPalette::Highlight, QColor(61, 142, 201));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, greyText);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, greyText);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    return palette;
}

} // namespace

int main(int argc, char* argv[]) {
    QTextStream errors(stderr);
    const std::optional<RenderOptions> options = ParseOptions(argc, argv);
    if (!options) {
        errors << "usage: cordelo-screenshot <out.png> [--connected] [--dark] [--scale N] "
                  "[--station]\n";
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt takes the scale factor when the application starts, not later.
    if (!options->scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", options->scale);
    // The user's own settings are neither read nor changed.
    QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", configuration.path().toLocal8Bit());
    QApplication application(argc, argv);
    if (options->dark)
        QApplication::setPalette(DarkPalette());
    if (options->station) {
        if (const std::optional<QString> failed = tools::RenderStation(options->path)) {
            errors << *failed << '\n';
            return 1;
        }
        return 0;
    }

    virtual_module::VirtualModule module;
    if (options->connected) {
        if (!module.start()) {
            errors << "no virtual module: " << module.errorText().c_str() << '\n';
            return 1;
        }
        platform::QtSettingsStore().setValue("Ports", "COM1",
                                             QString::fromStdString(module.devicePath()));
    }

    main_window::Application tool;
    tool.start();
    if (options->connected)
        tool.window().cmdConnect->click();
    QApplication::processEvents();

    if (!tool.window().grab().save(options->path, "PNG")) {
        errors << "cannot write " << options->path << '\n';
        return 1;
    }
    return 0;
}
