#include "first_paint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace bench {
namespace {

class PaintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Said once the paint has finished, then the program ends normally.
            QTimer::singleShot(0, [] {
                std::puts("first-paint");
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
