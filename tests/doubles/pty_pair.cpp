#include "pty_pair.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace doubles {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        hangUp();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
}

PtyPair::~PtyPair() {
    hangUp();
}

void PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t written =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno != EINTR && errno != EAGAIN)
            return;
        if (written > 0)
            done += written;
    }
}

QByteArray PtyPair::read(qsizetype count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    QByteArray received;
    while (m_master >= 0 && received.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd watch{m_master, POLLIN, 0};
        if (::poll(&watch, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[4096];
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got <= 0)
            break;
        received.append(chunk, got);
    }
    return received;
}

void PtyPair::hangUp() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

} // namespace doubles
