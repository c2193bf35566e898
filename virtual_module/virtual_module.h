// A simulated adapter module on a pseudo-terminal, run on its own thread, for
// people (through cordelo-virtual-module) and for tests (in-process).
#pragma once

#include "command_framer.h"
#include "command_handler.h"
#include "module_settings.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace virtual_module {

struct LogEntry {
    std::chrono::system_clock::time_point at;
    std::string text;
};

struct VirtualModuleOptions {
    ModuleSettings settings;
    Faults faults;
    // Time per character on the line; zero sends every reply at once.
    std::chrono::nanoseconds charPeriod = kCharPeriod9600;
    // Called on the module's thread, never with the module's lock held; it may query
    // the module but must not stop() it (stop() joins that very thread).
    std::function<void(const LogEntry&)> log;
    // Called on the module's thread once the pty master is closed (timer or hangUp()),
    // with the same restriction.
    std::function<void()> onHangUp;
};

class VirtualModule {
public:
    using Clock = std::chrono::steady_clock;
    using Options = VirtualModuleOptions;
    enum class Pacing { Paced, Burst };

    explicit VirtualModule(Options options = {});
    ~VirtualModule();
    VirtualModule(const VirtualModule&) = delete;
    VirtualModule& operator=(const VirtualModule&) = delete;

    // Opens a fresh pty and starts answering on it. False (see errorText()) when the
    // pty cannot be had or the module already runs.
    bool start();
    // Stops answering and closes the pty. Safe to call more than once.
    void stop();
    // Closes the pty master now, as if the module were unplugged; returns once done.
    void hangUp();

    bool isRunning() const;
    bool isHungUp() const;
    // The slave device that the tool opens, such as /dev/pts/3.
    std::string devicePath() const;
    std::string errorText() const;

    // Every framed command received so far, brackets included.
    std::vector<std::string> receivedCommands() const;
    std::size_t receivedCount() const;
    // The n-th command received (counting from 1), once it has arrived.
    std::optional<std::string> waitForCommand(std::size_t n,
                                              std::chrono::milliseconds timeout) const;
    // True once nothing is queued for the line (or the line is gone).
    bool waitUntilLineIdle(std::chrono::milliseconds timeout) const;

    ModuleSettings settings() const;
    Faults faults() const;
    // Takes effect for the next command; timed faults count from start().
    void setFaults(Faults faults);
    // Puts raw bytes on the line after what is already queued.
    void inject(std::string bytes, Pacing pacing = Pacing::Paced);

private:
    struct Outgoing {
        std::string bytes;
        std::size_t sent = 0;
        std::chrono::milliseconds pauseBefore{0};
        std::string label;
        bool burst = false;
        Clock::time_point queuedAt;
        std::optional<Clock::time_point> startAt;
    };

    void run();
    void readLine(Clock::time_point now);
    void handleCommand(const std::string& command, Clock::time_point now);
    void transmitDue(Clock::time_point now);
    Clock::time_point nextCharDue(Outgoing& head);
    std::optional<Clock::time_point> nextDeadline();
    bool silentAt(Clock::time_point now) const;
    void closeLine();
    void hangUpLocked();
    void wake() const;
    void note(std::string text);
    std::vector<LogEntry> takeLogs();

    const std::chrono::nanoseconds m_charPeriod;
    const std::function<void(const LogEntry&)> m_log;
    const std::function<void()> m_onHangUp;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::thread m_thread;
    bool m_threadRunning = false;
    bool m_stopRequested = false;
    bool m_hangUpRequested = false;
    bool m_hungUp = false;
    bool m_silenceAnnounced = false;
    bool m_writeBlocked = false;

    int m_master = -1;
    // Held open so the master never sees a hang-up while the tool has the port closed.
    int m_slaveKeepAlive = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::string m_devicePath;
    std::string m_errorText;

    CommandHandler m_handler;
    Faults m_faults;
    CommandFramer m_framer;
    std::deque<Outgoing> m_outgoing;
    Clock::time_point m_startedAt;
    Clock::time_point m_lineFreeAt;
    std::vector<std::string> m_received;
    std::vector<LogEntry> m_pendingLogs;
};

} // namespace virtual_module
