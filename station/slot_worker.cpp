#include "slot_worker.h"

#include "production_record/record_filter.h"

namespace station {

using production_run::ExitStatus;
using production_run::ModuleOutcome;

SlotWorker::SlotWorker(production_run::ProductionRun& run, const platform::PortSource& ports,
                       const SlotState& last, const std::atomic<bool>& stop,
                       SlotCallbacks callbacks)
    : m_run(run), m_stop(stop), m_callbacks(std::move(callbacks)),
      m_watch(ports, last.port, run.trace()) {
    m_state.port = last.port;
    if (last.phase == SlotPhase::Interrupted)
        m_state = last;
}

SlotWorker::~SlotWorker() {
    join();
}

void SlotWorker::start() {
    // A QThread, since a serial port needs a thread that Qt knows for its notifiers.
    m_thread.reset(QThread::create([this] { watch(); }));
    m_thread->start();
}

bool SlotWorker::finishBy(QDeadlineTimer deadline) {
    return !m_thread || m_thread->wait(deadline);
}

void SlotWorker::join() {
    if (!m_thread)
        return;
    wake();
    m_thread->wait();
    m_thread.reset();
}

void SlotWorker::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_wakeRequested = true;
    }
    m_woken.notify_all();
}

void SlotWorker::again() {
    {
        std::lock_guard lock(m_mutex);
        m_againRequested = true;
        m_wakeRequested = true;
    }
    m_woken.notify_all();
}

void SlotWorker::noteCutShort(const QDateTime& at) {
    {
        std::lock_guard lock(m_mutex);
        m_cutShortAt = at;
        m_wakeRequested = true;
    }
    m_woken.notify_all();
}

void SlotWorker::showCutShort() {
    std::optional<QDateTime> at;
    {
        std::lock_guard lock(m_mutex);
        at = std::exchange(m_cutShortAt, std::nullopt);
    }
    if (!at || m_state.phase != SlotPhase::Waiting)
        return;
    show(SlotPhase::Interrupted,
         QStringLiteral("The write of the module in this slot was cut short when the station "
                        "last stopped (%1): put it in again to finish it.")
             .arg(at->toLocalTime().toString(QStringLiteral("d MMM HH:mm"))));
}

bool SlotWorker::printLabelAgain() {
    const int module = m_module;
    return module >= 0 && m_run.printLabelAgain(module, *this);
}

bool SlotWorker::againRequested() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_againRequested, false);
}

void SlotWorker::pause(std::chrono::milliseconds period) {
    std::unique_lock lock(m_mutex);
    m_woken.wait_for(lock, period, [this] { return m_wakeRequested || m_stop.load(); });
    m_wakeRequested = false;
}

void SlotWorker::show(SlotPhase phase, const QString& detail) {
    m_state.phase = phase;
    m_state.detail = detail;
    if (phase != SlotPhase::Passed) {
        m_state.label.clear();
        m_state.labelNotPrinted = false;
    }
    if (phase == SlotPhase::Waiting) {
        m_state.deviceAddress.clear();
        m_state.unit.reset();
        m_state.name.clear();
    }
    m_callbacks.changed(m_state);
}

bool SlotWorker::finished() const {
    return m_state.phase == SlotPhase::Passed || m_state.phase == SlotPhase::Failed;
}

void SlotWorker::watch() {
    show(m_state.phase == SlotPhase::Interrupted ? SlotPhase::Interrupted : SlotPhase::Waiting,
         m_state.detail);
    auto lastAnswer = Clock::now();
    while (!m_stop) {
        const auto tick = Clock::now();
        if (!openWatch()) {
            pause(kPortRetryPeriod);
            continue;
        }
        showCutShort();
        showLabel();
        if (finished()) {
            watchFinished(lastAnswer);
        } else {
            watchEmpty();
            lastAnswer = Clock::now();
        }
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - tick);
        if (spent < kPingPeriod)
            pause(kPingPeriod - spent);
    }
    m_watch.close();
    // A module cut short keeps its cue while the line is stopped, and after it starts again.
    if (m_halfWritten && finished()) {
        show(SlotPhase::Interrupted,
             QStringLiteral("Written only in part: put the module in again once the line "
                            "runs.\n%1")
                 .arg(m_state.detail));
    } else if (m_state.phase != SlotPhase::Interrupted) {
        show(SlotPhase::Idle);
    }
}

void SlotWorker::watchFinished(Clock::time_point& lastAnswer) {
    // The settings, not a ping: a module put in the moment the other was taken out answers
    // pings just the same, and only its address tells it apart.
    const std::optional<profile::Profile> read = m_watch.query();
    const bool present = read || m_watch.ping();
    if (present)
        lastAnswer = Clock::now();
    // One that answers pings and not the query, where the last one gave its settings, is
    // another module (or this one gone wrong): either way it is tried again.
    m_unread = present && !read ? m_unread + 1 : 0;
    const bool another = (m_unread >= kSettingsTries && !m_state.deviceAddress.isEmpty()) ||
                         (read && production_record::AddressKey(read->device.address) !=
                                      production_record::AddressKey(m_state.deviceAddress));
    if (another || (read && againRequested())) {
        if (another)
            m_run.releaseAddress(m_state.deviceAddress, m_state.port);
        provision(m_watch.look(), !another);
        lastAnswer = Clock::now();
    } else if (!present && Clock::now() - lastAnswer >= kTakenOutAfter) {
        takenOut();
    }
}

void SlotWorker::watchEmpty() {
    if (!m_watch.ping()) {
        m_unread = 0;
        return;
    }
    const production_run::Sighting seen = m_watch.look();
    if (seen.profile) {
        m_unread = 0;
        if (justMovedHere(seen.deviceAddress()))
            return;
        provision(seen, false);
    } else if (!m_stop && ++m_unread >= kSettingsTries) {
        // The run tries it once more itself, and records why it fails.
        provision(seen, false);
    }
}

bool SlotWorker::justMovedHere(const QString& address) {
    if (!m_run.addressHeldElsewhere(address, m_state.port)) {
        m_movedSince.reset();
        return false;
    }
    // A module moved from another slot is still that slot's until it sees it gone; one still
    // held there after that is a clone, which the run refuses.
    if (!m_movedSince)
        m_movedSince = Clock::now();
    if (Clock::now() - *m_movedSince >= kMovedGrace) {
        m_movedSince.reset();
        return false;
    }
    return true;
}

void SlotWorker::takenOut() {
    m_run.releaseAddress(m_state.deviceAddress, m_state.port);
    if (m_halfWritten) {
        show(SlotPhase::Interrupted,
             QStringLiteral("The module taken out was written only in part: put it back in to "
                            "finish it.\n%1")
                 .arg(m_state.detail));
    } else {
        show(SlotPhase::Waiting);
    }
}

bool SlotWorker::openWatch() {
    if (m_watch.isOpen())
        return true;
    if (const std::optional<QString> why = m_watch.open()) {
        // The adapter is gone, and the module with it: its address may be written elsewhere.
        m_run.releaseAddress(m_state.deviceAddress, m_state.port);
        m_halfWritten = false;
        m_state.deviceAddress.clear();
        m_state.unit.reset();
        m_state.name.clear();
        show(SlotPhase::PortProblem, *why);
        return false;
    }
    m_state.device = m_watch.device();
    if (m_state.phase == SlotPhase::PortProblem)
        show(SlotPhase::Waiting);
    return true;
}

void SlotWorker::provision(const production_run::Sighting& seen, bool writeAnyway) {
    m_recordWarning.clear();
    m_halfWritten = false;
    m_unread = 0;
    m_state.deviceAddress = seen.deviceAddress();
    m_state.unit.reset();
    m_state.name.clear();
    show(SlotPhase::Working, QStringLiteral("checking the module"));
    const production_run::SlotProvision how{
        m_callbacks.numberFor(production_record::AddressKey(m_state.deviceAddress)), writeAnyway};
    m_module = m_callbacks.nextModule();
    m_run.provision(m_module, m_watch, seen, *this, how);
}

void SlotWorker::stepTaken(int, const QString& step) {
    show(SlotPhase::Working, step);
}

void SlotWorker::recordWarned(int, const QString&, const QString& warning) {
    m_recordWarning = warning;
}

void SlotWorker::labelPrinted(int module, const ModuleOutcome& outcome) {
    // The label of a module since taken out is not this slot's to tell.
    if (module != m_module)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_labelNote = *outcome.label;
    }
    wake();
}

void SlotWorker::showLabel() {
    std::optional<label_print::LabelPrint> print;
    {
        std::lock_guard lock(m_mutex);
        print = std::exchange(m_labelNote, std::nullopt);
    }
    if (!print || m_state.phase != SlotPhase::Passed)
        return;
    m_state.label = print->printed ? QStringLiteral("Label printed to %1").arg(print->where)
                                   : QStringLiteral("LABEL NOT PRINTED: %1").arg(print->reason);
    m_state.labelNotPrinted = !print->printed;
    show(SlotPhase::Passed, m_state.detail);
}

void SlotWorker::moduleFinished(int, const ModuleOutcome& outcome) {
    // Taken out before it said a word: the slot waits again, and nothing was tried.
    if (outcome.silent) {
        show(SlotPhase::Waiting);
        return;
    }
    if (!outcome.deviceAddress.isEmpty())
        m_state.deviceAddress = outcome.deviceAddress;
    m_state.unit = outcome.unit;
    if (outcome.settings)
        m_state.name = outcome.settings->name.value_or(QString());
    if (outcome.held) {
        show(SlotPhase::Passed,
             QStringLiteral("Provisioned before: it holds all its unit should, and was not "
                            "written again."));
        return;
    }
    m_callbacks.finished(outcome);
    if (outcome.status == ExitStatus::OpenFailed) {
        show(SlotPhase::PortProblem, outcome.message);
        return;
    }
    m_halfWritten = outcome.writeCutShort;
    if (outcome.status != ExitStatus::Done) {
        QString reason = outcome.message;
        // It answered pings, but no query of the slot's or the run's got its settings.
        if (outcome.status == ExitStatus::NoReply && outcome.deviceAddress.isEmpty() &&
            !outcome.firmware.isEmpty())
            reason = QStringLiteral("answers, but gives no settings (%1)").arg(reason);
        if (!m_recordWarning.isEmpty())
            reason += QStringLiteral("\n") + m_recordWarning;
        show(SlotPhase::Failed, reason);
        return;
    }
    show(SlotPhase::Passed, m_recordWarning);
}

} // namespace station
