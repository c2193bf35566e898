// Sends what is still queued for the line before a port closes, within a time limit: an adapter
// that stops taking data must not hold up the close, and what it did not take is dropped.
#pragma once

#include <QSerialPort>

#include <chrono>

namespace platform {

// Waits until everything queued has left the computer, for at most `limit`; what is left then
// is discarded, so that closing the port does not wait for it either.
void DrainOutput(QSerialPort& port, std::chrono::milliseconds limit);

} // namespace platform
