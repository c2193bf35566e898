#include "slot_worker.h"

#include "module_profile/profile.h"
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "platform/port_names.h"
#include "platform/qt_pacing.h"
#include "platform/qt_settings_store.h"
#include "production_run/stderr_message_box.h"
#include "serial_link/port_session.h"

namespace station {

using production_run::ExitStatus;
using production_run::ModuleOutcome;

// The port the slot watches between modules, opened on the slot's own thread.
struct SlotWorker::WatchLink {
    explicit WatchLink(const platform::PortSource& ports, const QString& name)
        : port(ports.make(name, settings)), link{platform, {}, modComm::WaitStyle::OnData} {}

    platform::QtSettingsStore settings;
    std::unique_ptr<platform::SerialPort> port;
    production_run::StderrMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{*port, settings, messages, pacing};
    modComm::Link link;
};

QString AddressKey(const QString& deviceAddress) {
    QString key = deviceAddress.toUpper();
    key.remove(QLatin1Char(' '));
    return key;
}

SlotWorker::SlotWorker(production_run::ProductionRun& run, const platform::PortSource& ports,
                       const SlotState& last, const std::atomic<bool>& stop,
                       SlotCallbacks callbacks)
    : m_run(run), m_ports(ports), m_stop(stop), m_callbacks(std::move(callbacks)) {
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
    closeWatch();
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
    const std::optional<QString> address = queryAddress();
    const bool present = address || ping();
    if (present)
        lastAnswer = Clock::now();
    // One that answers pings and not the query, where the last one gave its settings, is
    // another module (or this one gone wrong): either way it is tried again.
    m_unread = present && !address ? m_unread + 1 : 0;
    if (m_unread >= kSettingsTries && !m_state.deviceAddress.isEmpty()) {
        m_run.releaseAddress(m_state.deviceAddress, m_state.port);
        provision({}, false);
        lastAnswer = Clock::now();
    } else if (address && AddressKey(*address) != AddressKey(m_state.deviceAddress)) {
        m_run.releaseAddress(m_state.deviceAddress, m_state.port);
        provision(*address, false);
        lastAnswer = Clock::now();
    } else if (address && m_refusedForClone &&
               !m_run.addressHeldElsewhere(m_state.deviceAddress, m_state.port)) {
        provision(*address, false);
        lastAnswer = Clock::now();
    } else if (address && againRequested()) {
        provision(*address, true);
        lastAnswer = Clock::now();
    } else if (!present && Clock::now() - lastAnswer >= kTakenOutAfter) {
        takenOut();
    }
}

void SlotWorker::watchEmpty() {
    if (!ping()) {
        m_unread = 0;
        return;
    }
    if (const std::optional<QString> address = queryAddress()) {
        m_unread = 0;
        if (justMovedHere(*address))
            return;
        provision(*address, false);
    } else if (!m_stop && ++m_unread >= kSettingsTries) {
        // The run tries it once more itself, and records why it fails.
        provision({}, false);
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
    if (m_watch)
        return true;
    // The watching link's waits run to their end (half a second at most) rather than waking
    // every 100 ms to look for a stop: 16 waiting slots stay cheap.
    m_watch = std::make_unique<WatchLink>(m_ports, m_state.port);
    if (!modComm::OpenLine(m_watch->link, platform::PortNumberOf(m_state.port))) {
        const QString why = m_watch->port->errorDescription();
        m_watch.reset();
        // The adapter is gone, and the module with it: its address may be written elsewhere.
        m_run.releaseAddress(m_state.deviceAddress, m_state.port);
        m_halfWritten = false;
        m_state.deviceAddress.clear();
        m_state.unit.reset();
        m_state.name.clear();
        show(SlotPhase::PortProblem, why);
        return false;
    }
    m_state.device = m_watch->port->openedDevice();
    if (m_state.phase == SlotPhase::PortProblem)
        show(SlotPhase::Waiting);
    return true;
}

bool SlotWorker::ping() {
    if (!m_watch)
        return false;
    const bool answered = modProg::PingModule(m_watch->link);
    // An adapter pulled out closes the port under us: open it afresh on the next ping.
    if (!m_watch->port->isOpen())
        closeWatch();
    return answered;
}

std::optional<QString> SlotWorker::queryAddress() {
    if (!m_watch)
        return std::nullopt;
    const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_watch->link);
    if (!m_watch->port->isOpen())
        closeWatch();
    if (reply.fieldsReceived < modProg::kFieldCount || modProg::ReplyDamage(reply))
        return std::nullopt;
    return profile::ProfileFromReply(reply).device.address;
}

void SlotWorker::closeWatch() {
    if (!m_watch)
        return;
    modComm::ClosePort(m_watch->link);
    m_watch.reset();
}

void SlotWorker::provision(const QString& address, bool writeAnyway) {
    // The run opens the port itself, as the command line does.
    closeWatch();
    m_recordWarning.clear();
    m_halfWritten = false;
    m_refusedForClone = false;
    m_unread = 0;
    m_state.deviceAddress = address;
    m_state.unit.reset();
    m_state.name.clear();
    show(SlotPhase::Working, QStringLiteral("checking the module"));
    const production_run::SlotProvision how{m_callbacks.numberFor(AddressKey(address)),
                                            writeAnyway};
    m_run.provision(m_callbacks.nextModule(), m_state.port, *this, how);
}

void SlotWorker::stepTaken(int, const QString& step) {
    show(SlotPhase::Working, step);
}

void SlotWorker::recordWarned(int, const QString&, const QString& warning) {
    m_recordWarning = warning;
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
    const bool sentAWrite = !outcome.written.isEmpty() || !outcome.failed.isEmpty();
    m_halfWritten = outcome.writeCutShort && sentAWrite;
    m_refusedForClone = outcome.status != ExitStatus::Done && !sentAWrite &&
                        m_run.addressHeldElsewhere(m_state.deviceAddress, m_state.port);
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
