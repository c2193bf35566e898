// POSIX: the event loop reads the stop stopSignals from their pipe and closes the window.
#include "stop_on_signal.h"

#include "platform/stop_signals_posix.h"

#include <QSocketNotifier>

#include <unistd.h>

namespace station {

bool CloseOnStopRequest(QWidget& window) {
    const int stopSignals = platform::StopSignalsToPipe();
    if (stopSignals < 0)
        return false;
    auto* notifier = new QSocketNotifier(stopSignals, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, stopSignals] {
        char byte = 0;
        while (::read(stopSignals, &byte, 1) == 1) {
        }
        window.close();
    });
    return true;
}

} // namespace station
