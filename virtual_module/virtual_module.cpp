#include "virtual_module.h"

#include "platform/printable_bytes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace virtual_module {
namespace {

using namespace std::chrono_literals;

// Bounds one turn of the loop's reading, so a flood cannot starve the output.
constexpr int kMaxReadsPerTurn = 16;
constexpr std::size_t kReadChunkBytes = 4096;

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

bool SetFlags(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::optional<std::string> SlaveName(int master) {
#ifdef __linux__
    std::array<char, 128> name{};
    if (::ptsname_r(master, name.data(), name.size()) != 0)
        return std::nullopt;
    return std::string(name.data());
#else
    const char* name = ::ptsname(master);
    if (name == nullptr)
        return std::nullopt;
    return std::string(name);
#endif
}

// Blocks in the kernel until a descriptor is ready or the deadline passes.
int PollUntil(std::array<pollfd, 2>& fds,
              std::optional<VirtualModule::Clock::time_point> deadline) {
    if (!deadline)
        return ::poll(fds.data(), fds.size(), -1);
    const auto left =
        std::max(*deadline - VirtualModule::Clock::now(), VirtualModule::Clock::duration::zero());
#ifdef __linux__
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(nanoseconds.count())};
    return ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
#else
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left);
    return ::poll(fds.data(), fds.size(), static_cast<int>(milliseconds.count()));
#endif
}

} // namespace

VirtualModule::VirtualModule(Options options)
    : m_charPeriod(std::max(options.charPeriod, std::chrono::nanoseconds::zero())),
      m_log(std::move(options.log)), m_onHangUp(std::move(options.onHangUp)),
      m_handler(std::move(options.settings)), m_faults(std::move(options.faults)) {}

VirtualModule::~VirtualModule() {
    stop();
}

bool VirtualModule::start() {
    std::unique_lock lock(m_mutex);
    if (m_threadRunning || m_thread.joinable()) {
        m_errorText = "the module is already running";
        return false;
    }
    m_errorText.clear();

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        m_errorText = ErrnoText("posix_openpt");
        return false;
    }
    std::optional<std::string> name;
    if (!SetFlags(m_master)) {
        m_errorText = ErrnoText("fcntl on the pty master");
    } else if (::grantpt(m_master) != 0) {
        m_errorText = ErrnoText("grantpt");
    } else if (::unlockpt(m_master) != 0) {
        m_errorText = ErrnoText("unlockpt");
    } else if (name = SlaveName(m_master); !name) {
        m_errorText = ErrnoText("ptsname");
    } else if (m_slaveKeepAlive = ::open(name->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
               m_slaveKeepAlive < 0) {
        m_errorText = ErrnoText("open of the pty slave");
    } else {
        // Raw, so the line discipline neither echoes nor translates anything; the
        // tool's own open and close keep and restore these settings.
        termios settings{};
        if (::tcgetattr(m_slaveKeepAlive, &settings) != 0) {
            m_errorText = ErrnoText("tcgetattr");
        } else {
            ::cfmakeraw(&settings);
            ::cfsetispeed(&settings, B9600);
            ::cfsetospeed(&settings, B9600);
            if (::tcsetattr(m_slaveKeepAlive, TCSANOW, &settings) != 0)
                m_errorText = ErrnoText("tcsetattr");
        }
    }
    std::array<int, 2> wakePipe{-1, -1};
    if (m_errorText.empty()) {
        if (::pipe(wakePipe.data()) != 0) {
            m_errorText = ErrnoText("pipe");
        } else {
            m_wakeRead = wakePipe[0];
            m_wakeWrite = wakePipe[1];
            if (!SetFlags(m_wakeRead) || !SetFlags(m_wakeWrite))
                m_errorText = ErrnoText("fcntl on the wake-up pipe");
        }
    }
    if (!m_errorText.empty()) {
        closeLine();
        CloseFd(m_wakeRead);
        CloseFd(m_wakeWrite);
        return false;
    }

    m_devicePath = *name;
    m_stopRequested = false;
    m_hangUpRequested = false;
    m_hungUp = false;
    m_silenceAnnounced = false;
    m_writeBlocked = false;
    m_framer = {};
    m_outgoing.clear();
    m_startedAt = Clock::now();
    m_lineFreeAt = m_startedAt;

    // The thread takes no signals: a program's Ctrl-C handler runs on its main thread.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    m_threadRunning = true;
    m_thread = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
}

void VirtualModule::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
        wake();
    }
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    closeLine();
    CloseFd(m_wakeRead);
    CloseFd(m_wakeWrite);
}

void VirtualModule::hangUp() {
    std::unique_lock lock(m_mutex);
    if (m_master < 0)
        return;
    if (!m_threadRunning) {
        hangUpLocked();
        return;
    }
    // The thread may be polling the master, so it is the one that closes it.
    m_hangUpRequested = true;
    wake();
    m_changed.wait(lock, [this] { return m_hungUp || !m_threadRunning; });
}

bool VirtualModule::isRunning() const {
    std::lock_guard lock(m_mutex);
    return m_threadRunning;
}

bool VirtualModule::isHungUp() const {
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

std::string VirtualModule::devicePath() const {
    std::lock_guard lock(m_mutex);
    return m_devicePath;
}

std::string VirtualModule::errorText() const {
    std::lock_guard lock(m_mutex);
    return m_errorText;
}

std::vector<std::string> VirtualModule::receivedCommands() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::size_t VirtualModule::receivedCount() const {
    std::lock_guard lock(m_mutex);
    return m_received.size();
}

std::optional<std::string> VirtualModule::waitForCommand(std::size_t n,
                                                         std::chrono::milliseconds timeout) const {
    if (n == 0)
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [&] { return m_received.size() >= n; }))
        return std::nullopt;
    return m_received[n - 1];
}

bool VirtualModule::waitUntilLineIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_outgoing.empty() || m_master < 0; });
}

ModuleSettings VirtualModule::settings() const {
    std::lock_guard lock(m_mutex);
    return m_handler.settings();
}

Faults VirtualModule::faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void VirtualModule::setFaults(Faults faults) {
    std::lock_guard lock(m_mutex);
    if (faults == m_faults)
        return;
    const bool silenced = faults.silent && !m_faults.silent;
    m_faults = std::move(faults);
    note(silenced ? "fault options changed: silent from now on" : "fault options changed");
    if (!m_faults.silentAfter)
        m_silenceAnnounced = false;
    wake();
}

void VirtualModule::inject(std::string bytes, Pacing pacing) {
    std::lock_guard lock(m_mutex);
    if (m_master < 0 || bytes.empty())
        return;
    Outgoing outgoing;
    outgoing.bytes = std::move(bytes);
    outgoing.label = pacing == Pacing::Burst ? "injected burst" : "injected";
    outgoing.burst = pacing == Pacing::Burst;
    outgoing.queuedAt = Clock::now();
    m_outgoing.push_back(std::move(outgoing));
    wake();
}

void VirtualModule::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopRequested) {
        const auto now = Clock::now();
        if (m_hangUpRequested ||
            (m_faults.hangUpAfter && now >= m_startedAt + *m_faults.hangUpAfter)) {
            hangUpLocked();
            break;
        }
        if (m_faults.silentAfter && !m_silenceAnnounced &&
            now >= m_startedAt + *m_faults.silentAfter) {
            m_silenceAnnounced = true;
            note("silent from now on (fault option)");
        }
        transmitDue(now);
        if (m_master < 0)
            break;

        std::array<pollfd, 2> fds{};
        fds[0] = {m_wakeRead, POLLIN, 0};
        fds[1] = {m_master, static_cast<short>(POLLIN | (m_writeBlocked ? POLLOUT : 0)), 0};
        const auto deadline = nextDeadline();
        std::vector<LogEntry> logs = takeLogs();
        lock.unlock();
        for (const LogEntry& entry : logs)
            m_log(entry);
        const int ready = PollUntil(fds, deadline);
        const int pollErrno = errno;
        lock.lock();

        if (ready < 0) {
            if (pollErrno == EINTR)
                continue;
            errno = pollErrno;
            note(ErrnoText("poll"));
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::array<char, 64> drain{};
            while (::read(m_wakeRead, drain.data(), drain.size()) > 0) {
            }
        }
        if ((fds[1].revents & POLLOUT) != 0)
            m_writeBlocked = false;
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            readLine(Clock::now());
    }
    const bool hungUp = m_hungUp;
    m_threadRunning = false;
    m_changed.notify_all();
    std::vector<LogEntry> logs = takeLogs();
    lock.unlock();
    for (const LogEntry& entry : logs)
        m_log(entry);
    if (hungUp && m_onHangUp)
        m_onHangUp();
}

void VirtualModule::readLine(Clock::time_point now) {
    std::array<char, kReadChunkBytes> buffer{};
    for (int turn = 0; turn < kMaxReadsPerTurn && m_master >= 0; ++turn) {
        const ssize_t count = ::read(m_master, buffer.data(), buffer.size());
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (count <= 0) {
            // Cannot happen while the keep-alive slave is open; if it does, the line is gone.
            note(count == 0 ? std::string("pty closed") : ErrnoText("read from the pty"));
            hangUpLocked();
            return;
        }
        CommandFramer::Result framed =
            m_framer.feed(std::string_view(buffer.data(), static_cast<std::size_t>(count)));
        if (!framed.ignored.empty()) {
            note("ignored " + std::to_string(framed.ignored.size()) +
                 " bytes outside commands: " + platform::PrintableBytes(framed.ignored));
        }
        for (const std::string& command : framed.commands)
            handleCommand(command, now);
    }
}

void VirtualModule::handleCommand(const std::string& command, Clock::time_point now) {
    m_received.push_back(command);
    note("received " + platform::PrintableBytes(command));
    Response response = m_handler.handle(command, m_faults, silentAt(now));
    if (!response.note.empty())
        note(response.note);
    for (Segment& segment : response.segments) {
        Outgoing outgoing;
        outgoing.bytes = std::move(segment.bytes);
        outgoing.pauseBefore = segment.pauseBefore;
        outgoing.label = std::move(segment.label);
        outgoing.queuedAt = now;
        if (!outgoing.bytes.empty())
            m_outgoing.push_back(std::move(outgoing));
    }
    m_changed.notify_all();
}

VirtualModule::Clock::time_point VirtualModule::nextCharDue(Outgoing& head) {
    if (!head.startAt)
        head.startAt = std::max(m_lineFreeAt, head.queuedAt) + head.pauseBefore;
    if (head.burst)
        return *head.startAt;
    return *head.startAt + std::chrono::duration_cast<Clock::duration>(
                               m_charPeriod * static_cast<long long>(head.sent));
}

// Characters go out on a schedule fixed by the clock, not by how late the thread
// woke, so a reply takes its true time on the line and pacing does not drift.
void VirtualModule::transmitDue(Clock::time_point now) {
    while (!m_outgoing.empty() && !m_writeBlocked && m_master >= 0) {
        Outgoing& head = m_outgoing.front();
        const auto due = nextCharDue(head);
        if (now < due)
            return;
        std::size_t count = head.bytes.size() - head.sent;
        if (!head.burst && m_charPeriod.count() > 0) {
            const auto late = std::chrono::duration_cast<std::chrono::nanoseconds>(now - due);
            count = std::min<std::size_t>(count, static_cast<std::size_t>(late / m_charPeriod) + 1);
        }
        const ssize_t written = ::write(m_master, head.bytes.data() + head.sent, count);
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_writeBlocked = true;
                return;
            }
            if (errno == EINTR)
                continue;
            note(ErrnoText("write to the pty") + "; output dropped");
            m_outgoing.clear();
            m_changed.notify_all();
            return;
        }
        head.sent += static_cast<std::size_t>(written);
        if (static_cast<std::size_t>(written) < count)
            m_writeBlocked = true;
        if (head.sent < head.bytes.size())
            continue;
        m_lineFreeAt =
            head.burst
                ? std::max(now, *head.startAt)
                : *head.startAt + std::chrono::duration_cast<Clock::duration>(
                                      m_charPeriod * static_cast<long long>(head.bytes.size()));
        // Spelling out a megabyte burst costs more than sending it; only for a reader.
        if (m_log) {
            note("sent " + (head.label == "reply" ? std::string() : "(" + head.label + ") ") +
                 platform::PrintableBytes(head.bytes));
        }
        m_outgoing.pop_front();
        if (m_outgoing.empty())
            m_changed.notify_all();
    }
}

std::optional<VirtualModule::Clock::time_point> VirtualModule::nextDeadline() {
    std::optional<Clock::time_point> deadline;
    const auto consider = [&deadline](Clock::time_point at) {
        if (!deadline || at < *deadline)
            deadline = at;
    };
    if (!m_outgoing.empty() && !m_writeBlocked)
        consider(nextCharDue(m_outgoing.front()));
    if (m_faults.hangUpAfter)
        consider(m_startedAt + *m_faults.hangUpAfter);
    if (m_faults.silentAfter && !m_silenceAnnounced)
        consider(m_startedAt + *m_faults.silentAfter);
    return deadline;
}

bool VirtualModule::silentAt(Clock::time_point now) const {
    return m_faults.silent || (m_faults.silentAfter && now >= m_startedAt + *m_faults.silentAfter);
}

void VirtualModule::closeLine() {
    CloseFd(m_master);
    CloseFd(m_slaveKeepAlive);
}

void VirtualModule::hangUpLocked() {
    closeLine();
    m_hungUp = true;
    m_hangUpRequested = false;
    if (!m_outgoing.empty())
        note("hung up with " + std::to_string(m_outgoing.size()) + " replies unsent");
    m_outgoing.clear();
    note("hung up: pty master closed");
    m_changed.notify_all();
}

void VirtualModule::wake() const {
    if (m_wakeWrite < 0)
        return;
    const char byte = 1;
    // A full pipe already means a pending wake-up, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeWrite, &byte, 1);
}

void VirtualModule::note(std::string text) {
    if (m_log)
        m_pendingLogs.push_back({std::chrono::system_clock::now(), std::move(text)});
}

std::vector<LogEntry> VirtualModule::takeLogs() {
    std::vector<LogEntry> logs;
    logs.swap(m_pendingLogs);
    return logs;
}

} // namespace virtual_module
