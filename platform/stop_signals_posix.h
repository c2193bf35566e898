// POSIX: the stop signals (SIGINT, SIGTERM, SIGHUP) as bytes on a pipe, since a signal handler
// may only write to one; the program's event loop reads them.
#pragma once

namespace platform {

// Routes the stop signals to a pipe, each as one byte holding its number: the pipe's read end
// (non-blocking), or -1 when that cannot be arranged. Once per program.
int StopSignalsToPipe();

} // namespace platform
