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

using Clock = std::chrono::steady_clock;
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
                       const QString& port, const std::atomic<bool>& stop, SlotCallbacks callbacks)
    : m_run(run), m_ports(ports), m_stop(stop), m_callbacks(std::move(callbacks)) {
    m_state.port = port;
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

void SlotWorker::watch() {
    show(SlotPhase::Waiting);
    auto lastAnswer = Clock::now();
    while (!m_stop) {
        const auto tick = Clock::now();
        bool again = false;
        {
            std::lock_guard lock(m_mutex);
            again = std::exchange(m_againRequested, false);
        }
        const Presence presence = ping();
        if (presence == Presence::PortFailed) {
            pause(kPortRetryPeriod);
            continue;
        }
        if (m_state.phase == SlotPhase::PortProblem)
            show(SlotPhase::Waiting);
        const bool done = m_state.phase == SlotPhase::Passed || m_state.phase == SlotPhase::Failed;
        if (presence == Presence::Answered) {
            lastAnswer = Clock::now();
            if (m_state.phase == SlotPhase::Waiting || (done && again)) {
                const QString address = readAddress();
                const auto passed = m_passed.find(AddressKey(address));
                if (address.isEmpty() || m_stop) {
                    // It went before it told its address; the next ping sees whether it is there.
                } else if (!again && passed != m_passed.end()) {
                    m_state = passed->second;
                    show(SlotPhase::Passed,
                         QStringLiteral("passed here before; Again writes it once more"));
                } else {
                    provision();
                }
                lastAnswer = Clock::now();
            }
        } else if (done && Clock::now() - lastAnswer >= kTakenOutAfter) {
            m_run.releaseAddress(m_state.deviceAddress, m_state.port);
            show(SlotPhase::Waiting);
        }
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - tick);
        if (spent < kPingPeriod)
            pause(kPingPeriod - spent);
    }
    closeWatch();
    show(SlotPhase::Idle);
}

SlotWorker::Presence SlotWorker::ping() {
    if (!m_watch) {
        // The watching link's waits run to their end (half a second at most) rather than
        // waking every 100 ms to look for a stop: 16 waiting slots stay cheap.
        m_watch = std::make_unique<WatchLink>(m_ports, m_state.port);
        if (!modComm::OpenLine(m_watch->link, platform::PortNumberOf(m_state.port))) {
            const QString why = m_watch->port->errorDescription();
            m_watch.reset();
            show(SlotPhase::PortProblem, why);
            return Presence::PortFailed;
        }
        m_state.device = m_watch->port->openedDevice();
    }
    const bool answered = modProg::PingModule(m_watch->link);
    // An adapter pulled out closes the port under us: open it afresh on the next ping.
    if (!m_watch->port->isOpen())
        closeWatch();
    return answered ? Presence::Answered : Presence::Silent;
}

QString SlotWorker::readAddress() {
    if (!m_watch)
        return {};
    const modProg::SettingsReply reply = modProg::ReadSettingsReply(m_watch->link);
    if (reply.fieldsReceived < modProg::kFieldCount || modProg::ReplyDamage(reply))
        return {};
    return profile::ProfileFromReply(reply).device.address;
}

void SlotWorker::closeWatch() {
    if (!m_watch)
        return;
    modComm::ClosePort(m_watch->link);
    m_watch.reset();
}

void SlotWorker::provision() {
    // The run opens the port itself, as the command line does.
    closeWatch();
    m_recordWarning.clear();
    m_state.unit.reset();
    m_state.name.clear();
    show(SlotPhase::Working, QStringLiteral("checking the module"));
    m_run.provision(m_callbacks.nextModule(), m_state.port, *this);
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
    m_callbacks.finished(outcome);
    m_state.deviceAddress = outcome.deviceAddress;
    m_state.unit = outcome.unit;
    if (outcome.settings)
        m_state.name = outcome.settings->name.value_or(QString());
    if (outcome.status == ExitStatus::OpenFailed) {
        show(SlotPhase::PortProblem, outcome.message);
        return;
    }
    if (outcome.status != ExitStatus::Done) {
        QString reason = outcome.message;
        if (!m_recordWarning.isEmpty())
            reason += QStringLiteral("\n") + m_recordWarning;
        show(SlotPhase::Failed, reason);
        return;
    }
    show(SlotPhase::Passed, m_recordWarning);
    m_passed[AddressKey(outcome.deviceAddress)] = m_state;
}

} // namespace station
