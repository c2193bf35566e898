#include "output_drain.h"

#include <QThread>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How often the driver's queue is looked at while it empties: a byte lasts about 1 ms at 9600 baud.
constexpr auto kQueuePollPeriod = 5ms;

// Bytes the driver still holds for the line; nothing when the system cannot say.
std::optional<qint64> DriverQueueBytes(QSerialPort& port) {
#ifdef Q_OS_WIN
    COMSTAT status{};
    DWORD errors = 0;
    if (!::ClearCommError(port.handle(), &errors, &status))
        return std::nullopt;
    return status.cbOutQue;
#elif defined(Q_OS_UNIX)
    int queued = 0;
    if (::ioctl(static_cast<int>(port.handle()), TIOCOUTQ, &queued) != 0)
        return std::nullopt;
    return queued;
#else
    Q_UNUSED(port);
    return std::nullopt;
#endif
}

// The last bytes, already out of the queue, leave the hardware; quick once the queue is empty.
void WaitUntilSent(QSerialPort& port) {
#ifdef Q_OS_WIN
    ::FlushFileBuffers(port.handle());
#elif defined(Q_OS_UNIX)
    ::tcdrain(static_cast<int>(port.handle()));
#else
    Q_UNUSED(port);
#endif
}

// Written without std::max, which <windows.h> turns into its own macro.
std::chrono::milliseconds Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left > 0ms ? left : 0ms;
}

} // namespace

void DrainOutput(QSerialPort& port, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (port.bytesToWrite() > 0 && Remaining(deadline) > 0ms &&
           port.waitForBytesWritten(static_cast<int>(Remaining(deadline).count()))) {
    }
    bool sent = port.bytesToWrite() == 0;
    if (sent) {
        std::optional<qint64> queued = DriverQueueBytes(port);
        while (queued && *queued > 0 && Remaining(deadline) > 0ms) {
            QThread::msleep(static_cast<unsigned long>(kQueuePollPeriod.count()));
            queued = DriverQueueBytes(port);
        }
        // A driver that cannot tell its queue gets the whole limit and no more: waiting for
        // the line itself has no bound of its own.
        if (!queued)
            QThread::msleep(static_cast<unsigned long>(Remaining(deadline).count()));
        sent = queued && *queued == 0;
    }
    if (sent)
        WaitUntilSent(port);
    else
        port.clear(QSerialPort::Output);
}

} // namespace platform
