// Connect in the window, timed from the click to the connected display, through the real serial
// port: the same program on Linux (COMn mapped to the virtual module's pseudo-terminal) and under
// Wine (a Wine COM port that leads to it), so that the two figures compare like with like.
//   cordelo-bench-connect PORT_NUMBER [RUNS]
// Prints the median and the range in milliseconds.
#include "main_window/frm_main.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"

#include <QApplication>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Counts messages instead of waiting for someone to close them: any message spoils the run.
class CountingMessageBox : public platform::MessageBox {
public:
    void show(platform::MessageIcon, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::kApplicationTitle);
    QApplication::setOrganizationName(platform::kApplicationTitle);
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
    if (port < 1 || port > platform::kPortCount || runs < 1) {
        std::fprintf(stderr, "usage: cordelo-bench-connect PORT_NUMBER [RUNS]\n");
        return 1;
    }

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        platform::QtSettingsStore settings;
        settings.setValue(QStringLiteral("Properties"), QStringLiteral("CommPort"),
                          QString::number(port));
        platform::QtSerialPort serialPort{settings};
        CountingMessageBox messages;
        platform::QtPacing pacing;
        platform::Platform platform{serialPort, settings, messages, pacing};
        frmMain window{platform};
        window.Form_Load();
        window.show();
        QApplication::processEvents();

        const auto start = Clock::now();
        window.cmdConnect->click();
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (messages.shown > 0 || !window.Timer1.isActive()) {
            std::fprintf(stderr, "Connect on COM%d did not connect\n", port);
            return 1;
        }
        times.push_back(took.count());
        window.close();
    }
    std::sort(times.begin(), times.end());
    std::printf("Connect, click to connected display: median %.1f ms of %d runs (%.1f to %.1f)\n",
                times[times.size() / 2], runs, times.front(), times.back());
    return 0;
}
