// Sends what is still queued for the line before a port closes, within a time limit: an adapter
// that stops taking data must not hold up the close, and what it did not take is dropped.
#pragma once

#include <QSerialPort>

#include <chrono>

namespace platform {

// True when everything queued left the computer before `limit` passed. Otherwise the rest is
// discarded, so that closing the port does not wait for it either.
bool DrainOutput(QSerialPort& port, std::chrono::milliseconds limit);

} // namespace platform
