// One slot of the line on a thread of its own: it pings its port about twice a second, has a
// module that answers provisioned by the production run (which leaves alone a module that
// holds all its unit should), and watches it by its address until it is taken out or another
// module is put in its place.
#pragma once

#include "slot_state.h"

#include "platform/port_source.h"
#include "production_run/port_watch.h"
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

namespace station {

// How often a slot asks its port whether a module is there.
inline constexpr std::chrono::milliseconds kPingPeriod{500};
// A passed or failed module that has not answered this long has been taken out.
inline constexpr std::chrono::milliseconds kTakenOutAfter{1000};
// How long a slot whose port cannot be opened waits before it tries again.
inline constexpr std::chrono::milliseconds kPortRetryPeriod{2000};
// A module that answers pings but gives its settings to none of this many queries in a row
// has failed.
inline constexpr int kSettingsTries = 3;
// How long a module whose address another slot still holds waits before it is tried: that
// long after it is taken out, the other slot has seen it gone.
inline constexpr std::chrono::milliseconds kMovedGrace{3000};

struct SlotCallbacks {
    // The slot's state changed; called on the slot's thread.
    std::function<void(const SlotState&)> changed;
    // A module was provisioned: its outcome, as the record has it.
    std::function<void(const production_run::ModuleOutcome&)> finished;
    // The number the next module provisioned on the line gets within the run.
    std::function<int()> nextModule;
    // The module's place among the line's modules, by its address key, for {n}: a module
    // written again keeps its number.
    std::function<int(const QString& addressKey)> numberFor;
};

class SlotWorker : private production_run::RunEvents {
public:
    using Clock = std::chrono::steady_clock;

    // `run`, `ports` and `stop` must outlive the worker.
    // `last` is what the slot showed when the line last stopped: a module interrupted there
    // is still to be put in again.
    SlotWorker(production_run::ProductionRun& run, const platform::PortSource& ports,
               const SlotState& last, const std::atomic<bool>& stop, SlotCallbacks callbacks);
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
    // The label of the module that passed here last is printed again, and told as the first
    // was; false when it has none.
    bool printLabelAgain();
    // The record says the last write on this slot was cut short at `at`: while no module is
    // in, the slot says so.
    void noteCutShort(const QDateTime& at);

private:
    void watch();
    // A module passed or failed here: whether it is still there, and still the same one.
    void watchFinished(Clock::time_point& lastAnswer);
    // No module, or one interrupted: whether one answers, and gives its settings.
    void watchEmpty();
    void takenOut();
    // True while a module with this address was in another slot a moment ago.
    bool justMovedHere(const QString& address);
    // Opens the watched port when it is closed; false, with the port problem shown, when the
    // port cannot be opened.
    bool openWatch();
    void provision(const production_run::Sighting& seen, bool writeAnyway);
    void show(SlotPhase phase, const QString& detail = {});
    void pause(std::chrono::milliseconds period);
    bool finished() const;
    bool againRequested();
    // Shows a cut-short write the record told of, if the slot is still waiting.
    void showCutShort();

    void moduleBegan(int, const QString&) override {}
    void stepTaken(int, const QString& step) override;
    void recordWarned(int, const QString&, const QString& warning) override;
    void moduleFinished(int, const production_run::ModuleOutcome& outcome) override;
    // From the label thread: the slot shows it on its own thread, at its next look.
    void labelPrinted(int module, const production_run::ModuleOutcome& outcome) override;
    // Shows the label's note, if the module that passed is still in.
    void showLabel();

    production_run::ProductionRun& m_run;
    const std::atomic<bool>& m_stop;
    SlotCallbacks m_callbacks;
    production_run::PortWatch m_watch;
    SlotState m_state;
    QString m_recordWarning;
    // The module that finished here was written only in part: taken out, it must go back in.
    bool m_halfWritten = false;
    std::optional<Clock::time_point> m_movedSince;
    // Pings answered in a row by a module that gave no settings.
    int m_unread = 0;

    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_wakeRequested = false;
    bool m_againRequested = false;
    std::optional<QDateTime> m_cutShortAt;
    std::optional<label_print::LabelPrint> m_labelNote;
    // The run's number of the module provisioned here last, whose label this slot shows.
    std::atomic<int> m_module{-1};
    std::unique_ptr<QThread> m_thread;
};

} // namespace station
