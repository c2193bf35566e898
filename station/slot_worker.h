// One slot of the line on a thread of its own: it pings its port about twice a second, has a
// module that answers provisioned by the production run unless it passed there before, and
// waits until the module is taken out.
#pragma once

#include "slot_state.h"

#include "platform/port_source.h"
#include "production_run/production_run.h"

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <map>

namespace station {

// How often a slot asks its port whether a module is there.
inline constexpr std::chrono::milliseconds kPingPeriod{500};
// A passed or failed module that has not answered this long has been taken out.
inline constexpr std::chrono::milliseconds kTakenOutAfter{1000};
// How long a slot whose port cannot be opened waits before it tries again.
inline constexpr std::chrono::milliseconds kPortRetryPeriod{2000};

struct SlotCallbacks {
    // The slot's state changed; called on the slot's thread.
    std::function<void(const SlotState&)> changed;
    // A module was provisioned: its outcome, as the record has it.
    std::function<void(const production_run::ModuleOutcome&)> finished;
    // The number the next module provisioned on the line gets within the run.
    std::function<int()> nextModule;
};

class SlotWorker : private production_run::RunEvents {
public:
    // `run`, `ports` and `stop` must outlive the worker.
    SlotWorker(production_run::ProductionRun& run, const platform::PortSource& ports,
               const QString& port, const std::atomic<bool>& stop, SlotCallbacks callbacks);
    ~SlotWorker() override;
    SlotWorker(const SlotWorker&) = delete;
    SlotWorker& operator=(const SlotWorker&) = delete;

    void start();
    // Waits for the thread to end until the deadline; true once it has.
    bool finishBy(QDeadlineTimer deadline);
    // Returns once the thread has ended; the stop flag must be set first.
    void join();
    // Wakes the slot from its wait between pings, to see the stop flag or a request.
    void wake();
    // The module in the slot is written again, though it passed there before.
    void again();

private:
    enum class Presence { Answered, Silent, PortFailed };

    void watch();
    // One ping on the open watching link, or why the port would not open.
    Presence ping();
    // The module's device address, read from its settings; empty when it did not answer.
    QString readAddress();
    void provision();
    void closeWatch();
    void show(SlotPhase phase, const QString& detail = {});
    void pause(std::chrono::milliseconds period);

    void moduleBegan(int, const QString&) override {}
    void stepTaken(int, const QString& step) override;
    void recordWarned(int, const QString&, const QString& warning) override;
    void moduleFinished(int, const production_run::ModuleOutcome& outcome) override;

    production_run::ProductionRun& m_run;
    const platform::PortSource& m_ports;
    const std::atomic<bool>& m_stop;
    SlotCallbacks m_callbacks;
    SlotState m_state;
    // The modules that passed on this slot, by their address key, as they passed.
    std::map<QString, SlotState> m_passed;
    QString m_recordWarning;

    struct WatchLink;
    std::unique_ptr<WatchLink> m_watch;

    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_wakeRequested = false;
    bool m_againRequested = false;
    std::unique_ptr<QThread> m_thread;
};

// "0012 6f 3a 0001" and "00126F3A0001" are one module.
QString AddressKey(const QString& deviceAddress);

} // namespace station
