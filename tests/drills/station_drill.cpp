#include "station_drill.h"

#include "production_record/record_connection.h"
#include "production_record/record_filter.h"
#include "production_record/record_listing.h"
#include "production_record/record_spool.h"
#include "production_record/record_target.h"
#include "scratch_postgres.h"
#include "station/production_line.h"
#include "virtual_module/simulated_modules.h"
#include "virtual_module/virtual_module.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace drills {
namespace {

using namespace std::chrono_literals;
using station::SlotPhase;
using station::SlotState;

// A put-in the line has not settled by then was missed.
constexpr auto kSettleWithin = 25s;
constexpr auto kStallFor = 3s;
constexpr auto kQuickSwap = 200ms;
constexpr auto kSlowSwap = 3s;
constexpr int kFirstModule = 100;

// The commands that change a module, each counted where it was received.
const std::vector<std::string> kWriteKeywords = {"NAME",         "PKEY",      "BAUD",   "SBIT",
                                                 "PRTY",         "MASTER",    "ADDR",   "SLAVE",
                                                 "DISCOVERABLE", "INVISIBLE", "PIN_ON", "PIN_OFF"};

// One module in one slot, from the moment it was put in.
struct PutIn {
    int slot = 0;
    virtual_module::ModuleSettings settings;
    bool answersOnlyPings = false;
    bool clone = false;
    // The fault played when it went in.
    QString during;
    std::size_t writesBefore = 0;
    // Once it is taken out.
    std::optional<std::size_t> writesAfter;
    std::size_t namesBefore = 0;
    QDateTime at;
    // The line stopped while it was in: a write cut short is rightly written again.
    bool stopCrossed = false;
};

// Runs the events of the line's thread while waiting, as a window's loop would.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds within) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > within.count())
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void Pause(std::chrono::milliseconds period) {
    WaitUntil([] { return false; }, period);
}

class Drill {
public:
    explicit Drill(const StationDrillPlan& plan)
        : m_plan(plan), m_modules(plan.slotCount), m_random(plan.seed),
          m_target(std::get<production_record::RecordTarget>(
              production_record::ParseRecordTarget(plan.target))) {
        for (int port = 1; port <= m_modules.count(); ++port)
            m_modules.module(port).setPresent(false);
        m_in.resize(static_cast<std::size_t>(plan.slotCount));
        QObject::connect(m_line.get(), &station::ProductionLine::lineWarned,
                         [this] { m_warned = true; });
    }

    StationDrillReport run() {
        m_job.verb = production_run::Verb::Write;
        for (int port = 1; port <= m_plan.slotCount; ++port)
            m_job.ports << QStringLiteral("COM%1").arg(port);
        m_job.sets = QStringList{QStringLiteral("name=Drill-{unit}")};
        m_job.recordTarget = m_plan.target;
        m_job.bench = QStringLiteral("drill");
        m_job.recordTimeout = 3s;
        m_job.valuesPath = valuesList(QStringLiteral("values.csv"), 1000, m_plan.steps * 4);
        if (!startLine())
            return m_report;
        // The last two faults are played once, after the others.
        constexpr int kRepeated = static_cast<int>(StationFault::ValuesNearlyUsedUp);
        for (int step = 0; step < m_plan.steps; ++step)
            play(static_cast<StationFault>(step % kRepeated));
        valuesNearlyUsedUp();
        finish();
        terminateStation();
        return m_report;
    }

private:
    void fail(StationInvariant invariant, const QString& what) {
        ++m_report.broken[static_cast<std::size_t>(invariant)];
        m_report.failures << QStringLiteral("%1: %2").arg(
            QLatin1String(kStationInvariantNames[static_cast<std::size_t>(invariant)]), what);
    }
    void check(StationInvariant invariant, bool held, const QString& what) {
        ++m_report.checked[static_cast<std::size_t>(invariant)];
        if (!held)
            fail(invariant, what);
    }
    void played(StationFault fault) { ++m_report.faults[static_cast<std::size_t>(fault)]; }

    QString valuesList(const QString& name, int firstPin, int rows) {
        QFile file(m_plan.folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("pin\n");
        for (int row = 0; row < rows; ++row)
            file.write(QByteArray::number(firstPin + row) + '\n');
        return file.fileName();
    }

    bool startLine() {
        if (!m_started.isValid())
            m_started = QDateTime::currentDateTimeUtc();
        if (const auto refusal = m_line->start(m_job)) {
            m_report.failures << QStringLiteral("the line did not start: %1").arg(*refusal);
            return false;
        }
        return true;
    }

    // A stop as SIGTERM or closing the window makes it, timed.
    void stopLine(const QString& why) {
        QElapsedTimer stopping;
        stopping.start();
        m_line->stop();
        check(StationInvariant::StopsWithinFiveSeconds, stopping.elapsed() <= 5000,
              QStringLiteral("%1 took %2 ms").arg(why).arg(stopping.elapsed()));
        markStopCrossed();
    }

    void markStopCrossed() {
        for (const std::optional<std::size_t>& in : m_in) {
            if (in)
                m_putIns[*in].stopCrossed = true;
        }
    }

    // The line stops by itself when the record cannot be used; the operator starts it again.
    void keepRunning() {
        if (m_line->isRunning())
            return;
        markStopCrossed();
        startLine();
    }

    virtual_module::SimulatedModule& module(int slot) { return m_modules.module(slot + 1); }
    SlotState slot(int index) const { return m_line->slotStates().at(index); }

    std::size_t writesIn(int slot) {
        std::size_t writes = 0;
        for (const std::string& keyword : kWriteKeywords)
            writes += module(slot).receivedCount(keyword);
        return writes;
    }

    // An empty slot other than `besides`; with none, one is emptied.
    int emptySlot(int besides = -1) {
        std::vector<int> empty;
        std::vector<int> others;
        for (int index = 0; index < m_plan.slotCount; ++index) {
            if (index == besides)
                continue;
            (m_in[static_cast<std::size_t>(index)] ? others : empty).push_back(index);
        }
        if (empty.empty())
            return takeOut(others[m_random.bounded(static_cast<quint32>(others.size()))]);
        return empty[m_random.bounded(static_cast<quint32>(empty.size()))];
    }

    virtual_module::ModuleSettings freshModule() {
        return virtual_module::NthSimulatedModule(kFirstModule + m_fresh++);
    }

    void putIn(int index, const virtual_module::ModuleSettings& settings,
               const virtual_module::Faults& faults = {}, bool clone = false) {
        PutIn in;
        in.slot = index;
        in.settings = settings;
        in.answersOnlyPings = !faults.noReplyTo.empty();
        in.clone = clone;
        in.during = m_playing;
        in.writesBefore = writesIn(index);
        in.namesBefore = module(index).receivedCount("NAME");
        in.at = QDateTime::currentDateTimeUtc();
        module(index).replace(settings);
        module(index).setFaults(faults);
        m_in[static_cast<std::size_t>(index)] = m_putIns.size();
        m_putIns.push_back(in);
        ++m_report.putIns;
    }

    PutIn* inSlot(int index) {
        const std::optional<std::size_t>& in = m_in[static_cast<std::size_t>(index)];
        return in ? &m_putIns[*in] : nullptr;
    }

    // Ends the put-in: it was written at most once. Returns the slot.
    int takeOut(int index) {
        module(index).setPresent(false);
        if (PutIn* in = inSlot(index))
            endPutIn(*in);
        m_in[static_cast<std::size_t>(index)].reset();
        return index;
    }

    void endPutIn(PutIn& in) {
        in.writesAfter = writesIn(in.slot);
        const std::size_t names = module(in.slot).receivedCount("NAME") - in.namesBefore;
        check(StationInvariant::WrittenOncePerPutIn, names <= (in.stopCrossed ? 2u : 1u),
              QStringLiteral("COM%1, %2: written %3 times")
                  .arg(in.slot + 1)
                  .arg(QString::fromStdString(in.settings.ownAddress))
                  .arg(names));
        if (in.clone)
            check(StationInvariant::OneOwnerEach, writesIn(in.slot) == in.writesBefore,
                  QStringLiteral("COM%1: the clone of %2 was written")
                      .arg(in.slot + 1)
                      .arg(QString::fromStdString(in.settings.ownAddress)));
    }

    // The slot shows this module provisioned or failed in words.
    bool settled(const PutIn& in) const {
        const SlotState state = slot(in.slot);
        if (in.answersOnlyPings)
            return state.phase == SlotPhase::Failed &&
                   state.detail.startsWith(QStringLiteral("answers, but gives no settings"));
        const bool ended = state.phase == SlotPhase::Passed ||
                           (state.phase == SlotPhase::Failed && !state.detail.isEmpty());
        return ended &&
               production_record::AddressKey(state.deviceAddress) ==
                   production_record::AddressKey(QString::fromStdString(in.settings.ownAddress));
    }

    void awaitSettled(int index) {
        const PutIn* in = inSlot(index);
        if (in == nullptr)
            return;
        const bool done = WaitUntil(
            [&] {
                keepRunning();
                return settled(*in);
            },
            kSettleWithin);
        const SlotState state = slot(index);
        check(StationInvariant::NoneMissed, done,
              QStringLiteral("COM%1, %2 put in during %3: the slot shows %4 \"%5\" for %6")
                  .arg(index + 1)
                  .arg(QString::fromStdString(in->settings.ownAddress), in->during)
                  .arg(static_cast<int>(state.phase))
                  .arg(state.detail, state.deviceAddress));
    }

    void play(StationFault fault) {
        m_playing = QLatin1String(kStationFaultNames[static_cast<std::size_t>(fault)]);
        // Another module goes in beside each fault, so that the line is never idle.
        const int beside = emptySlot();
        putIn(beside, freshModule());
        switch (fault) {
        case StationFault::QuickSwap:
        case StationFault::SlowSwap:
        case StationFault::InstantSwap: {
            const int index = occupiedSlot(beside);
            takeOut(index);
            Pause(fault == StationFault::QuickSwap  ? std::chrono::milliseconds(kQuickSwap)
                  : fault == StationFault::SlowSwap ? std::chrono::milliseconds(kSlowSwap)
                                                    : 0ms);
            putIn(index, freshModule());
            awaitSettled(index);
            break;
        }
        case StationFault::PutBackUnchanged:
        case StationFault::PutBackChanged: {
            const int index = occupiedSlot(beside);
            takeOut(index);
            Pause(kSlowSwap);
            virtual_module::ModuleSettings back = module(index).settings();
            if (fault == StationFault::PutBackChanged)
                back.name = "Changed";
            putIn(index, back);
            awaitSettled(index);
            break;
        }
        case StationFault::Clone: {
            const int original = occupiedSlot(beside);
            const int index = emptySlot(original);
            putIn(index, module(original).settings(), {}, true);
            awaitSettled(index);
            break;
        }
        case StationFault::PulledMidWrite: {
            const int index = emptySlot(beside);
            putIn(index, freshModule());
            const bool writing = WaitUntil(
                [&] { return module(index).receivedCount("NAME") > inSlot(index)->namesBefore; },
                kSettleWithin);
            takeOut(index);
            if (writing) {
                // Put back once the slot has seen it go, and written whole.
                WaitUntil([&] { return slot(index).phase == SlotPhase::Interrupted; }, 5s);
                putIn(index, module(index).settings());
                awaitSettled(index);
            }
            break;
        }
        case StationFault::AnswersOnlyPings: {
            virtual_module::Faults mute;
            mute.noReplyTo = "QUERY";
            const int index = emptySlot(beside);
            putIn(index, freshModule(), mute);
            awaitSettled(index);
            takeOut(index);
            break;
        }
        case StationFault::ServerStalled:
            if (m_plan.server == nullptr)
                return awaitSettled(beside);
            m_plan.server->freeze();
            Pause(kStallFor);
            m_plan.server->thaw();
            break;
        case StationFault::LineStopped:
            WaitUntil([&] { return slot(beside).phase == SlotPhase::Working; }, 10s);
            stopLine(QStringLiteral("a stop mid-run"));
            startLine();
            break;
        case StationFault::ValuesNearlyUsedUp:
        case StationFault::StationTerminated:
            break;
        }
        played(fault);
        awaitSettled(beside);
    }

    int occupiedSlot(int besides) {
        std::vector<int> occupied;
        for (int index = 0; index < m_plan.slotCount; ++index) {
            if (index != besides && m_in[static_cast<std::size_t>(index)])
                occupied.push_back(index);
        }
        if (occupied.empty()) {
            const int index = emptySlot(besides);
            putIn(index, freshModule());
            awaitSettled(index);
            return index;
        }
        const int index = occupied[m_random.bounded(static_cast<quint32>(occupied.size()))];
        awaitSettled(index);
        return index;
    }

    // A list with fewer rows than slots: the line warns, gives the last rows and then stops
    // before any module is written without one.
    void valuesNearlyUsedUp() {
        stopLine(QStringLiteral("the stop before the last list"));
        for (int index = 0; index < m_plan.slotCount; ++index)
            takeOut(index);
        m_warned = false;
        m_job.valuesPath = valuesList(QStringLiteral("last.csv"), 9000, 2);
        if (!startLine())
            return;
        for (int index = 0; index < 3; ++index) {
            putIn(index, freshModule());
            if (index < 2)
                awaitSettled(index);
        }
        WaitUntil([&] { return !m_line->isRunning(); }, kSettleWithin);
        Pause(2s);
        check(StationInvariant::NoneMissed, m_warned && !m_line->isRunning(),
              QStringLiteral("a list of 2 rows for %1 slots: warned %2, stopped %3")
                  .arg(m_plan.slotCount)
                  .arg(m_warned)
                  .arg(!m_line->isRunning()));
        check(StationInvariant::OneOwnerEach, writesIn(2) == inSlot(2)->writesBefore,
              QStringLiteral("a module was written after the values list ran out"));
        played(StationFault::ValuesNearlyUsedUp);
    }

    // The last start replays what the record could not take; then the record is read.
    void finish() {
        for (int index = 0; index < m_plan.slotCount; ++index)
            takeOut(index);
        m_job.valuesPath = valuesList(QStringLiteral("values.csv"), 1000, m_plan.steps * 4);
        if (m_line->isRunning())
            stopLine(QStringLiteral("the last stop"));
        if (startLine())
            Pause(3s);
        const station::LineFigures figures = m_line->figures();
        stopLine(QStringLiteral("the end of the drill"));
        production_record::RecordConnection connection(m_target);
        if (const auto error = connection.open()) {
            m_report.failures << QStringLiteral("the record does not open: %1").arg(*error);
            return;
        }
        checkOwners(connection);
        checkRows(connection);
        checkCounters(connection, figures);
    }

    void checkOwners(production_record::RecordConnection& connection) {
        const QString key = QLatin1String(production_record::kAddressKeySql);
        const QStringList twice = {
            QStringLiteral("SELECT %1 FROM unit_numbers GROUP BY %1 HAVING COUNT(*) > 1").arg(key),
            QStringLiteral("SELECT %1 FROM values_given GROUP BY %1, list HAVING COUNT(*) > 1")
                .arg(key),
            QStringLiteral("SELECT unit FROM module_records WHERE unit IS NOT NULL GROUP BY unit "
                           "HAVING COUNT(DISTINCT %1) > 1")
                .arg(key),
        };
        for (const QString& statement : twice) {
            QSqlQuery query(connection.database());
            const bool read = query.exec(statement);
            QStringList found;
            while (read && query.next())
                found << query.value(0).toString();
            check(StationInvariant::OneOwnerEach, read && found.isEmpty(),
                  QStringLiteral("%1: %2").arg(statement, found.join(QStringLiteral(", "))));
        }
    }

    void checkRows(production_record::RecordConnection& connection) {
        QFile spoolFile(production_record::SpoolPath(m_target));
        const QByteArray spool = spoolFile.open(QIODevice::ReadOnly) ? spoolFile.readAll() : "";
        for (const PutIn& in : m_putIns) {
            const QString address = QString::fromStdString(in.settings.ownAddress);
            if (in.writesAfter.value_or(in.writesBefore) == in.writesBefore)
                continue;
            production_record::RecordFilter filter;
            filter.deviceAddress = address;
            filter.since = in.at.addSecs(-2);
            const auto listed = production_record::ListRows(connection, filter);
            const auto* rows = std::get_if<QList<production_record::RecordRow>>(&listed);
            const bool recorded =
                rows && std::any_of(rows->cbegin(), rows->cend(), [](const auto& row) {
                    return row.command == QStringLiteral("write");
                });
            check(StationInvariant::EveryWriteHasItsRow,
                  recorded || spool.contains(address.toUtf8()),
                  QStringLiteral("COM%1, %2, put in at %3: written, in neither the record nor "
                                 "the spool")
                      .arg(in.slot + 1)
                      .arg(address, in.at.toString(Qt::ISODateWithMs)));
        }
    }

    void checkCounters(production_record::RecordConnection& connection,
                       const station::LineFigures& figures);

    // cordelo-station on modules of pseudo-terminals, ended by SIGTERM in the middle of a
    // write (with the record's server stalled, where there is one) and started again.
    void terminateStation();
    // Sends SIGTERM and checks that the station ends within 5 s.
    void terminate(QProcess& station, const QString& when);

    StationDrillPlan m_plan;
    virtual_module::SimulatedModules m_modules;
    std::unique_ptr<station::ProductionLine> m_line =
        std::make_unique<station::ProductionLine>(m_modules);
    QRandomGenerator m_random;
    production_record::RecordTarget m_target;
    production_run::Job m_job;
    int m_fresh = 0;
    // Every put-in, in order, and the one in each slot now.
    std::vector<PutIn> m_putIns;
    std::vector<std::optional<std::size_t>> m_in;
    bool m_warned = false;
    QString m_playing;
    QDateTime m_started;
    StationDrillReport m_report;
};

// The line counts units, each by its latest write; a refusal before any write is no unit's.
void Drill::checkCounters(production_record::RecordConnection& connection,
                          const station::LineFigures& figures) {
    production_record::RecordFilter filter;
    filter.bench = m_job.bench;
    filter.since = m_started;
    const auto listed = production_record::ListRows(connection, filter);
    const auto* rows = std::get_if<QList<production_record::RecordRow>>(&listed);
    if (rows == nullptr) {
        fail(StationInvariant::CountersMatchTheRecord, std::get<QString>(listed));
        return;
    }
    // A unit is a module that was sent a write command: its row names what it acknowledged or
    // the command it did not.
    QList<production_record::RecordRow> written;
    for (const production_record::RecordRow& row : *rows) {
        const bool sent = (row.acknowledged && !row.acknowledged->isEmpty()) ||
                          !row.problemKeys.isEmpty() || row.result == QStringLiteral("ok");
        if (row.command == QStringLiteral("write") && sent)
            written << row;
    }
    std::stable_sort(written.begin(), written.end(),
                     [](const auto& one, const auto& other) { return one.time < other.time; });
    QMap<QString, bool> passedNow;
    for (const production_record::RecordRow& row : std::as_const(written))
        passedNow[production_record::AddressKey(row.deviceAddress)] =
            row.result == QStringLiteral("ok");
    const auto passed = static_cast<int>(std::count(passedNow.cbegin(), passedNow.cend(), true));
    const auto failed = static_cast<int>(passedNow.size()) - passed;
    check(StationInvariant::CountersMatchTheRecord,
          figures.passed == passed && figures.failed == failed,
          QStringLiteral("the line shows %1 passed and %2 failed, the record %3 and %4")
              .arg(figures.passed)
              .arg(figures.failed)
              .arg(passed)
              .arg(failed));
}

void Drill::terminate(QProcess& station, const QString& when) {
    QElapsedTimer ending;
    ending.start();
    ::kill(static_cast<pid_t>(station.processId()), SIGTERM);
    const bool ended = station.waitForFinished(10'000);
    check(StationInvariant::StopsWithinFiveSeconds, ended && ending.elapsed() <= 5000,
          QStringLiteral("SIGTERM %1: the station %2 after %3 ms")
              .arg(when, ended ? QStringLiteral("ended") : QStringLiteral("still ran"))
              .arg(ending.elapsed()));
    if (!ended)
        station.kill();
    station.waitForFinished();
}

void Drill::terminateStation() {
    if (m_plan.stationProgram.isEmpty())
        return;
    std::vector<std::unique_ptr<virtual_module::VirtualModule>> modules;
    QStringList arguments{QStringLiteral("--set"),    QStringLiteral("name=Drill-{unit}"),
                          QStringLiteral("--record"), m_plan.target,
                          QStringLiteral("--bench"),  QStringLiteral("drill-sigterm")};
    for (int n = 0; n < 2; ++n) {
        virtual_module::VirtualModuleOptions options;
        options.settings = freshModule();
        modules.push_back(std::make_unique<virtual_module::VirtualModule>(options));
        if (!modules.back()->start()) {
            m_report.failures << QStringLiteral("no pseudo-terminal for the station's modules");
            return;
        }
        arguments << QStringLiteral("--port")
                  << QString::fromStdString(modules.back()->devicePath());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_plan.folder + QStringLiteral("/data"));
    QProcess station;
    station.setProcessEnvironment(environment);
    station.start(m_plan.stationProgram, arguments);
    const auto written = [&](std::size_t module) {
        const auto commands = modules[module]->receivedCommands();
        return std::any_of(commands.cbegin(), commands.cend(), [](const std::string& command) {
            return command.starts_with("<NAME=");
        });
    };
    if (!WaitUntil([&] { return written(0); }, kSettleWithin)) {
        m_report.failures << QStringLiteral("the station process wrote no module");
        station.kill();
        station.waitForFinished();
        return;
    }
    if (m_plan.server != nullptr)
        m_plan.server->freeze();
    terminate(station, QStringLiteral("in the middle of a write"));
    if (m_plan.server != nullptr)
        m_plan.server->thaw();

    // Started again, it writes what was cut short, and stores what it spooled.
    station.start(m_plan.stationProgram, arguments);
    const auto provisioned = [&] {
        return std::all_of(modules.cbegin(), modules.cend(), [](const auto& module) {
            return module->settings().name.starts_with("Drill-");
        });
    };
    const bool done = WaitUntil(provisioned, kSettleWithin);
    Pause(2s);
    terminate(station, QStringLiteral("once it had written both"));
    check(StationInvariant::NoneMissed, done,
          QStringLiteral("the station started again after SIGTERM left a module unwritten"));
    production_record::RecordConnection connection(m_target);
    for (const auto& module : modules) {
        production_record::RecordFilter filter;
        filter.deviceAddress = QString::fromStdString(module->settings().ownAddress);
        filter.results = QStringList{QStringLiteral("ok")};
        const auto listed = production_record::ListRows(connection, filter);
        const auto* rows = std::get_if<QList<production_record::RecordRow>>(&listed);
        check(StationInvariant::EveryWriteHasItsRow, rows && !rows->isEmpty(),
              QStringLiteral("%1, written by the station process: no row in the record")
                  .arg(filter.deviceAddress));
    }
    played(StationFault::StationTerminated);
}

} // namespace

StationDrillReport RunStationDrill(const StationDrillPlan& plan) {
    return Drill(plan).run();
}

} // namespace drills
