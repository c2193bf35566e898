#include "first_paint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace bench {
namespace {

// The peak resident memory of this program image, from the kernel's own count; the
// runner cannot take it from wait4(), whose figure includes the runner's pages from
// before the exec.
long PeakResidentKiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    long peak = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1)
            break;
    }
    std::fclose(status);
    return peak;
}

class PaintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Said once the paint has finished, then the program ends normally.
            QTimer::singleShot(0, [] {
                std::printf("first-paint %ld\n", PeakResidentKiB());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

void ExitAfterFirstPaint(QWidget& window) {
    window.installEventFilter(new PaintWatcher(&window));
}

} // namespace bench
