#include "production_line.h"

#include "line_tally.h"
#include "slot_worker.h"

#include "production_run/port_listing.h"
#include "production_run/production_run.h"

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace station {
namespace {

// How long a slot that is writing gets to finish before the record stops waiting for its row
// too (it then goes to the spool): the whole stop stays within 5 s.
constexpr std::chrono::milliseconds kStopGrace{3000};

} // namespace

struct ProductionLine::Private {
    explicit Private(const platform::PortSource& source) : ports(source) {}

    const platform::PortSource& ports;
    std::atomic<bool> stopping{false};
    std::atomic<bool> recordGivenUp{false};
    std::unique_ptr<production_run::ProductionRun> run;
    std::vector<std::unique_ptr<SlotWorker>> workers;
    std::unique_ptr<QThread> recordWatch;
    std::atomic<int> nextModule{0};
    bool running = false;

    // The modules' places for {n}, by address key, for as long as the station runs.
    std::mutex numbersMutex;
    std::map<QString, int> numbers;
    int nextNumber = 0;

    mutable std::mutex mutex;
    QList<SlotState> states;
    LineTally tally;
};

ProductionLine::ProductionLine(const platform::PortSource& ports, QObject* parent)
    : QObject(parent), m_private(std::make_unique<Private>(ports)) {
    qRegisterMetaType<station::SlotState>();
    qRegisterMetaType<station::FinishedUnit>();
}

ProductionLine::~ProductionLine() {
    stop();
}

std::optional<QString> ProductionLine::start(const production_run::Job& job) {
    Private& line = *m_private;
    if (line.running)
        return QStringLiteral("the line is already running");
    // The tiles stand in the order the job gives its slots, as the bench is laid out.
    QStringList ports = job.ports;
    if (job.all) {
        for (const production_run::PortEntry& entry : production_run::ListPorts(line.ports))
            ports << entry.port;
        ports = production_run::InCountingOrder(ports);
    }
    ports = production_run::OnePerDevice(ports, line.ports);
    if (ports.isEmpty())
        return job.all ? QStringLiteral("no port opens a device on this machine")
                       : QStringLiteral("the job names no port");

    // An empty slot is a slot waiting for its module, never an "empty" unit.
    production_run::Job slotsJob = job;
    slotsJob.all = false;
    line.stopping = false;
    line.recordGivenUp = false;
    line.nextModule = 0;
    line.run = std::make_unique<production_run::ProductionRun>(line.ports, &line.stopping,
                                                               &line.recordGivenUp);
    if (const auto refusal = line.run->prepare(slotsJob, std::nullopt)) {
        line.run.reset();
        return refusal;
    }
    if (line.run->valuesRows() == 0) {
        line.run.reset();
        return QStringLiteral("the values list %1 has no rows: every module needs one")
            .arg(job.valuesPath);
    }
    QList<SlotState> lastStates;
    {
        std::lock_guard lock(line.mutex);
        for (const QString& port : ports) {
            SlotState state;
            state.port = port;
            state.phase = SlotPhase::Waiting;
            for (const SlotState& last : std::as_const(line.states)) {
                if (last.port == port && last.phase == SlotPhase::Interrupted)
                    state = last;
            }
            lastStates.append(state);
        }
        line.states = lastStates;
        // The line's day goes on across Stop and Start: its units and figures are kept.
        line.tally.setValuesLeft(std::nullopt);
    }
    for (int index = 0; index < ports.size(); ++index) {
        SlotCallbacks callbacks;
        callbacks.changed = [this, index](const SlotState& state) {
            {
                std::lock_guard lock(m_private->mutex);
                m_private->states[index] = state;
            }
            QMetaObject::invokeMethod(
                this, [this, index, state] { emit slotChanged(index, state); },
                Qt::QueuedConnection);
        };
        callbacks.finished = [this](const production_run::ModuleOutcome& outcome) {
            countFinished(outcome);
        };
        callbacks.nextModule = [this] { return m_private->nextModule++; };
        callbacks.numberFor = [this](const QString& addressKey) {
            Private& line = *m_private;
            std::lock_guard lock(line.numbersMutex);
            if (addressKey.isEmpty())
                return line.nextNumber++;
            const auto [at, added] = line.numbers.try_emplace(addressKey, line.nextNumber);
            line.nextNumber += added ? 1 : 0;
            return at->second;
        };
        line.workers.push_back(std::make_unique<SlotWorker>(
            *line.run, line.ports, lastStates[index], line.stopping, std::move(callbacks)));
    }
    line.running = true;
    for (const auto& slot : line.workers)
        slot->start();
    // A record that cannot be used stops the line before any module is written (each module
    // asks it before its first write command, so none is written meanwhile).
    const int slotCount = static_cast<int>(ports.size());
    line.recordWatch.reset(QThread::create([this, slotCount, ports] {
        production_run::ProductionRun& run = *m_private->run;
        if (const auto refusal = run.recordReady()) {
            if (!m_private->stopping)
                stopWithReason(refusal->message);
            return;
        }
        // A station that ended in the middle of a write knows it again from the record.
        const QMap<QString, QDateTime> cutShort = run.writesCutShort(ports);
        for (int index = 0; index < ports.size(); ++index) {
            if (cutShort.contains(ports[index]))
                m_private->workers[index]->noteCutShort(cutShort.value(ports[index]));
        }
        const std::optional<int> left = run.valuesLeft();
        {
            std::lock_guard lock(m_private->mutex);
            m_private->tally.setValuesLeft(left);
        }
        QMetaObject::invokeMethod(
            this, [this] { emit figuresChanged(); }, Qt::QueuedConnection);
        if (!stopForValuesLeft(left) && left && *left < slotCount) {
            const QString warning =
                QStringLiteral("Only %1 left in the values list for %2 slots: have the next "
                               "list ready.")
                    .arg(*left == 1 ? QStringLiteral("1 row")
                                    : QStringLiteral("%1 rows").arg(*left))
                    .arg(slotCount);
            QMetaObject::invokeMethod(
                this, [this, warning] { emit lineWarned(warning); }, Qt::QueuedConnection);
        }
    }));
    line.recordWatch->start();
    return std::nullopt;
}

void ProductionLine::countFinished(const production_run::ModuleOutcome& outcome) {
    Private& line = *m_private;
    const std::optional<int> left = line.run->valuesLeft();
    FinishedUnit unit;
    {
        std::lock_guard lock(line.mutex);
        unit = line.tally.count(outcome, QDateTime::currentDateTime());
        if (left)
            line.tally.setValuesLeft(left);
    }
    QMetaObject::invokeMethod(
        this,
        [this, unit] {
            emit unitFinished(unit);
            emit figuresChanged();
        },
        Qt::QueuedConnection);
    if (outcome.status == production_run::ExitStatus::RecordFailed)
        stopWithReason(outcome.message.section(QLatin1Char('\n'), 0, 0));
    else
        stopForValuesLeft(left);
}

bool ProductionLine::stopForValuesLeft(std::optional<int> left) {
    // Every next module would be refused, and would look like a failed unit.
    if (!left || *left > 0 || m_private->stopping)
        return false;
    stopWithReason(QStringLiteral("The values list has no row left that was never given: give "
                                  "the line a new list, then start it again."));
    return true;
}

void ProductionLine::stopWithReason(const QString& reason) {
    // From a slot's thread: the line's own thread joins the slots.
    QMetaObject::invokeMethod(
        this,
        [this, reason] {
            if (!m_private->running)
                return;
            stop();
            emit lineStopped(reason);
        },
        Qt::QueuedConnection);
}

void ProductionLine::stop() {
    Private& line = *m_private;
    if (!line.running)
        return;
    line.stopping = true;
    for (const auto& slot : line.workers)
        slot->wake();
    const QDeadlineTimer grace(kStopGrace);
    for (const auto& slot : line.workers)
        slot->finishBy(grace);
    line.recordGivenUp = true;
    for (const auto& slot : line.workers)
        slot->join();
    if (line.recordWatch)
        line.recordWatch->wait();
    line.recordWatch.reset();
    // A label still being drawn tells its slot, which must still be there.
    line.run->finishLabels();
    line.workers.clear();
    line.run.reset();
    line.running = false;
}

bool ProductionLine::isRunning() const {
    return m_private->running;
}

void ProductionLine::again(int slot) {
    if (slot >= 0 && slot < static_cast<int>(m_private->workers.size()))
        m_private->workers[slot]->again();
}

bool ProductionLine::postToRecord(std::function<void(production_record::RecordConnection&)> read) {
    return m_private->running && m_private->run->postToRecord(std::move(read));
}

void ProductionLine::printLabelAgain(int slot) {
    if (slot >= 0 && slot < static_cast<int>(m_private->workers.size()))
        m_private->workers[slot]->printLabelAgain();
}

QList<SlotState> ProductionLine::slotStates() const {
    std::lock_guard lock(m_private->mutex);
    return m_private->states;
}

LineFigures ProductionLine::figures() const {
    LineFigures figures;
    {
        std::lock_guard lock(m_private->mutex);
        figures = m_private->tally.figures();
    }
    if (m_private->run && m_private->run->keepsARecord())
        figures.rowsWaiting = m_private->run->rowsWaiting();
    return figures;
}

QList<FinishedUnit> ProductionLine::recentUnits() const {
    std::lock_guard lock(m_private->mutex);
    return m_private->tally.recent();
}

} // namespace station
