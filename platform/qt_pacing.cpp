#include "qt_pacing.h"

#include <QCoreApplication>

#include <thread>

namespace platform {

void QtPacing::sleepFor(std::chrono::milliseconds duration) {
    if (duration > std::chrono::milliseconds::zero())
        std::this_thread::sleep_for(duration);
}

void QtPacing::processEvents() {
    QCoreApplication::processEvents();
}

} // namespace platform
