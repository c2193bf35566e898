#include "stop_signals_posix.h"

#include <array>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

std::array<int, 2> s_signalPipe{-1, -1};

extern "C" void OnStopSignal(int signal) {
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_signalPipe[1], &byte, 1);
}

} // namespace

int StopSignalsToPipe() {
    if (::pipe(s_signalPipe.data()) != 0)
        return -1;
    for (const int fd : s_signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return -1;
    }
    return s_signalPipe[0];
}

} // namespace platform
