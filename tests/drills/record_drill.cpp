#include "record_drill.h"

#include "production_record/record_connection.h"
#include "scratch_postgres.h"
#include "virtual_module/virtual_module.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace drills {
namespace {

using virtual_module::VirtualModule;

// Long enough that the benches of the round all meet the lock: a fault that needs a duration.
constexpr std::chrono::seconds kLockHold{3};
// A bench still running after this has hung: it is killed and reported.
constexpr std::chrono::seconds kRoundDeadline{45};
constexpr std::chrono::milliseconds kListingTimeout{60000};
// Fixed, so that a drill that failed can be run again the same way.
constexpr quint32 kListSeed = 1719;
constexpr int kRecordFailed = 7;

bool IsWriteCommand(const std::string& command) {
    const std::string keyword = virtual_module::CommandKeyword(command);
    return keyword != "PING" && keyword != "VERS" && keyword != "QUERY" && keyword != "RESET";
}

struct Module {
    std::unique_ptr<VirtualModule> simulated;
    QString address;
    int bench = 0;
    // Armed for the round in which the module falls silent at its first write command.
    std::atomic<bool> silenceAtWrite{false};
};

struct Run {
    QString bench;
    std::vector<Module*> modules;
    std::vector<std::size_t> commandsBefore;
    std::unique_ptr<QProcess> process;
    // None when the run was killed or hung.
    std::optional<int> status;
    bool killed = false;
    QSet<QString> written;
};

// The modules of the run that received a write command since it started.
QSet<QString> WrittenModules(const Run& run) {
    QSet<QString> written;
    for (std::size_t index = 0; index < run.modules.size(); ++index) {
        const std::vector<std::string> commands = run.modules[index]->simulated->receivedCommands();
        if (std::any_of(commands.begin() + static_cast<std::ptrdiff_t>(run.commandsBefore[index]),
                        commands.end(), IsWriteCommand))
            written.insert(run.modules[index]->address);
    }
    return written;
}

// Three kinds of round in turn, so that three rounds see every fault.
struct RoundFaults {
    bool interrupt = false;
    bool kill = false;
    bool lock = false;
    bool restart = false;
    bool silence = false;
};

RoundFaults FaultsOfRound(int round, bool server) {
    switch (round % 3) {
    case 0:
        return {.interrupt = true, .silence = true};
    case 1:
        return {.kill = true, .lock = true};
    default:
        return {.lock = !server, .restart = server, .silence = true};
    }
}

// Holders of one unit number or values row: address, and where it was seen.
using Holders = QMap<QString, QString>;

class Drill {
public:
    explicit Drill(const RecordDrillPlan& plan) : m_plan(plan) {}
    RecordDrillReport run();

private:
    void addModules(int bench);
    void writeValuesList(bool rewrite);
    void playRound(int round, const QString& name, const RoundFaults& faults);
    void waitForBenches(std::size_t first);
    void onWriteCommand(int bench);
    void holdLock();
    void check(const QList<QJsonObject>& rows);
    void checkHolders(const QMap<QString, Holders>& holders, const QString& what);
    void breach(const QString& text) {
        ++m_report.broken;
        m_report.failures << text;
    }
    void count(DrillFault fault) { ++m_report.faults[static_cast<std::size_t>(fault)]; }
    QString valuesPath() const { return m_plan.folder + QStringLiteral("/serials.csv"); }
    QProcessEnvironment environment() const;

    const RecordDrillPlan& m_plan;
    RecordDrillReport m_report;
    // Module threads post their events here, to the drill's own thread.
    QObject m_context;
    std::vector<std::unique_ptr<Module>> m_modules;
    std::vector<std::vector<Module*>> m_benchModules;
    std::vector<Run> m_runs;
    std::size_t m_roundStart = 0;
    int m_killBench = -1;
    int m_interruptBench = -1;
    bool m_restartPending = false;
    std::unique_ptr<production_record::RecordConnection> m_lock;
    QStringList m_values;
    QSet<QString> m_everyValue;
    int m_rewrites = 0;
    QRandomGenerator m_random{kListSeed};
};

QProcessEnvironment Drill::environment() const {
    // The benches' settings and spools stay in the drill's folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_plan.folder);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_plan.folder);
    return environment;
}

void Drill::addModules(int bench) {
    for (int added = 0; added < m_plan.modulesPerRound; ++added) {
        auto module = std::make_unique<Module>();
        Module* raw = module.get();
        raw->bench = bench;
        raw->address =
            QStringLiteral("0012 6f 3a %1").arg(m_modules.size() + 1, 4, 16, QLatin1Char('0'));
        VirtualModule::Options options;
        options.settings.ownAddress = raw->address.toStdString();
        options.log = [this, raw](const virtual_module::LogEntry& entry) {
            const std::string received = "received ";
            if (entry.text.rfind(received, 0) != 0 ||
                !IsWriteCommand(entry.text.substr(received.size())))
                return;
            // Here, on the module's thread, so that the very next command finds it silent.
            if (raw->silenceAtWrite.exchange(false)) {
                virtual_module::Faults silent;
                silent.silent = true;
                raw->simulated->setFaults(silent);
                QMetaObject::invokeMethod(
                    &m_context, [this] { count(DrillFault::ModuleSilenced); },
                    Qt::QueuedConnection);
            }
            QMetaObject::invokeMethod(
                &m_context, [this, bench = raw->bench] { onWriteCommand(bench); },
                Qt::QueuedConnection);
        };
        raw->simulated = std::make_unique<VirtualModule>(options);
        if (!raw->simulated->start()) {
            m_report.failures << QStringLiteral("no virtual module: %1")
                                     .arg(QString::fromStdString(raw->simulated->errorText()));
            return;
        }
        m_benchModules[static_cast<std::size_t>(bench)].push_back(raw);
        m_modules.push_back(std::move(module));
    }
}

// Rows added, then shuffled or sorted the other way, saved under the same name.
void Drill::writeValuesList(bool rewrite) {
    const int added = m_plan.benches * m_plan.modulesPerRound * (rewrite ? 1 : 2);
    for (int row = 0; row < added; ++row) {
        m_values << QStringLiteral("V%1").arg(m_everyValue.size() + 1, 4, 10, QLatin1Char('0'));
        m_everyValue.insert(m_values.last());
    }
    if (rewrite && ++m_rewrites % 2 == 1)
        std::shuffle(m_values.begin(), m_values.end(), m_random);
    else if (rewrite)
        std::sort(m_values.begin(), m_values.end(), std::greater<>());
    QFile file(valuesPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(("pin\n" + m_values.join(QLatin1Char('\n')) + "\n").toUtf8()) < 0)
        m_report.failures << QStringLiteral("cannot write the values list %1").arg(valuesPath());
    if (rewrite)
        count(DrillFault::ValuesRewritten);
}

void Drill::holdLock() {
    const auto target = production_record::ParseRecordTarget(m_plan.target);
    m_lock = std::make_unique<production_record::RecordConnection>(
        std::get<production_record::RecordTarget>(target));
    // On PostgreSQL the row every claim locks first; on SQLite the file's write lock.
    QSqlQuery hold(m_lock->open() ? QSqlDatabase() : m_lock->database());
    const bool held = m_lock->isPostgres()
                          ? hold.exec(QStringLiteral("BEGIN")) &&
                                hold.exec(QStringLiteral("SELECT * FROM unit_counter FOR UPDATE"))
                          : hold.exec(QStringLiteral("BEGIN IMMEDIATE"));
    if (held)
        count(DrillFault::LockHeld);
    else
        m_report.failures
            << QStringLiteral("the drill could not take the lock: %1").arg(hold.lastError().text());
}

// A module of `bench` received a write command: the round's faults that wait for one strike.
void Drill::onWriteCommand(int bench) {
    Run& run = m_runs[m_roundStart + static_cast<std::size_t>(bench)];
    // An event left over from the round before finds this run's modules not yet written.
    if (run.process->state() != QProcess::Running || WrittenModules(run).isEmpty())
        return;
    if (bench == m_killBench) {
        m_killBench = -1;
        run.process->kill();
        run.killed = true;
        count(DrillFault::BenchKilled);
    }
    if (bench == m_interruptBench) {
        m_interruptBench = -1;
        ::kill(static_cast<pid_t>(run.process->processId()), SIGINT);
        count(DrillFault::BenchInterrupted);
    }
    if (m_restartPending && m_plan.server) {
        m_restartPending = false;
        m_plan.server->stop();
        if (m_plan.server->restart())
            count(DrillFault::ServerRestarted);
        else
            m_report.failures << QStringLiteral("the server did not start again: %1")
                                     .arg(m_plan.server->errorText());
    }
}

void Drill::playRound(int round, const QString& name, const RoundFaults& faults) {
    m_roundStart = m_runs.size();
    m_killBench = faults.kill ? round % m_plan.benches : -1;
    m_interruptBench = faults.interrupt ? round % m_plan.benches : -1;
    m_restartPending = faults.restart;
    if (faults.silence)
        m_benchModules[static_cast<std::size_t>((round + 1) % m_plan.benches)]
            .back()
            ->silenceAtWrite = true;
    QTimer lockTimer;
    lockTimer.setSingleShot(true);
    QObject::connect(&lockTimer, &QTimer::timeout, [this] { m_lock.reset(); });
    if (faults.lock) {
        holdLock();
        lockTimer.start(kLockHold);
    }
    for (int bench = 0; bench < m_plan.benches; ++bench) {
        Run run;
        // Every run its own bench name, so that each row says which run left it.
        run.bench = QStringLiteral("%1-s%2").arg(name).arg(bench);
        QStringList arguments = QStringLiteral("write --set name=U{unit} --values").split(' ');
        arguments << valuesPath() << QStringLiteral("--record") << m_plan.target
                  << QStringLiteral("--bench") << run.bench << QStringLiteral("--log")
                  << m_plan.folder + QLatin1Char('/') + run.bench + QStringLiteral(".csv");
        for (Module* module : m_benchModules[static_cast<std::size_t>(bench)]) {
            run.modules.push_back(module);
            run.commandsBefore.push_back(module->simulated->receivedCount());
            arguments << QStringLiteral("--port")
                      << QString::fromStdString(module->simulated->devicePath());
        }
        run.process = std::make_unique<QProcess>();
        run.process->setProcessEnvironment(environment());
        run.process->start(m_plan.cliProgram, arguments);
        m_runs.push_back(std::move(run));
    }
    waitForBenches(m_roundStart);
    m_lock.reset();
    m_killBench = m_interruptBench = -1;
    m_restartPending = false;
    for (const auto& module : m_modules) {
        module->silenceAtWrite = false;
        module->simulated->setFaults({});
    }
}

void Drill::waitForBenches(std::size_t first) {
    const auto allDone = [this, first] {
        return std::all_of(
            m_runs.begin() + static_cast<std::ptrdiff_t>(first), m_runs.end(),
            [](const Run& run) { return run.process->state() == QProcess::NotRunning; });
    };
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (std::size_t index = first; index < m_runs.size(); ++index)
        QObject::connect(m_runs[index].process.get(), &QProcess::stateChanged, &loop, [&] {
            if (allDone())
                loop.quit();
        });
    deadline.start(kRoundDeadline);
    if (!allDone())
        loop.exec();
    for (std::size_t index = first; index < m_runs.size(); ++index) {
        Run& run = m_runs[index];
        ++m_report.checked;
        if (run.process->state() != QProcess::NotRunning) {
            run.process->kill();
            run.process->waitForFinished();
            breach(QStringLiteral("run %1 did not end within %2 s and was killed")
                       .arg(run.bench)
                       .arg(kRoundDeadline.count()));
        } else if (!run.killed && run.process->exitStatus() == QProcess::NormalExit) {
            run.status = run.process->exitCode();
        } else if (!run.killed) {
            breach(
                QStringLiteral("run %1 crashed: %2")
                    .arg(run.bench, QString::fromLocal8Bit(run.process->readAllStandardError())));
        }
        run.written = WrittenModules(run);
    }
}

void Drill::checkHolders(const QMap<QString, Holders>& holders, const QString& what) {
    for (auto held = holders.begin(); held != holders.end(); ++held) {
        ++m_report.checked;
        if (held->size() < 2)
            continue;
        QStringList on;
        for (auto holder = held->begin(); holder != held->end(); ++holder)
            on << QStringLiteral("%1 (%2)").arg(holder.key(), holder.value());
        breach(QStringLiteral("%1 %2 on %3 addresses: %4")
                   .arg(what, held.key())
                   .arg(held->size())
                   .arg(on.join(QStringLiteral(", "))));
    }
}

void Drill::check(const QList<QJsonObject>& rows) {
    QSet<QString> rowIds;
    QMap<QString, Holders> unitHolders;
    QMap<QString, Holders> valueHolders;
    QMap<QString, QList<QJsonObject>> rowsOfRun;
    for (const QJsonObject& row : rows) {
        const QString id = row.value(QStringLiteral("row_id")).toString();
        const QString bench = row.value(QStringLiteral("bench")).toString();
        const QString address = row.value(QStringLiteral("device_address")).toString();
        ++m_report.checked;
        if (rowIds.contains(id))
            breach(QStringLiteral("run %1: row %2 (%3) stored twice").arg(bench, id, address));
        rowIds.insert(id);
        rowsOfRun[bench] << row;
        const QString where = QStringLiteral("run ") + bench;
        if (!row.value(QStringLiteral("unit")).isNull())
            unitHolders[QString::number(row.value(QStringLiteral("unit")).toInt())][address] =
                where;
        const QJsonObject acknowledged =
            row.value(QStringLiteral("settings_acknowledged")).toObject();
        const QString value = acknowledged.value(QStringLiteral("pin")).toString();
        if (m_everyValue.contains(value))
            valueHolders[value][address] = where;
    }
    m_report.units = static_cast<int>(unitHolders.size());
    for (const auto& module : m_modules) {
        const virtual_module::ModuleSettings held = module->simulated->settings();
        const QString name = QString::fromStdString(held.name);
        if (name.startsWith(QLatin1Char('U')))
            unitHolders[name.mid(1)][module->address] = QStringLiteral("the module's name");
        if (m_everyValue.contains(QString::fromStdString(held.pin)))
            valueHolders[QString::fromStdString(held.pin)][module->address] =
                QStringLiteral("the module's PIN");
    }
    checkHolders(unitHolders, QStringLiteral("unit"));
    checkHolders(valueHolders, QStringLiteral("values row with PIN"));

    for (const Run& run : m_runs) {
        const QList<QJsonObject>& own = rowsOfRun.value(run.bench);
        for (const Module* module : run.modules) {
            // By port: a module stopped before its address was read leaves a row without one.
            const QString port = QString::fromStdString(module->simulated->devicePath());
            const auto rowsOfModule = std::count_if(own.begin(), own.end(), [&](const auto& row) {
                return row.value(QStringLiteral("port")).toString() == port;
            });
            // Every module of a run that reached the record has one row; a written one always.
            const bool written = run.written.contains(module->address);
            const bool expected = written || (run.status && !own.isEmpty());
            if (!expected && rowsOfModule == 0)
                continue;
            ++m_report.checked;
            if (rowsOfModule > 1 || (expected && rowsOfModule == 0))
                breach(
                    QStringLiteral("run %1%2: %3%4 has %5 rows, one expected")
                        .arg(run.bench, run.killed ? QStringLiteral(" (killed)") : QString(),
                             module->address,
                             written ? QStringLiteral(" received write commands and") : QString())
                        .arg(rowsOfModule));
        }
        if (!run.status)
            continue;
        ++m_report.checked;
        int highest = -1;
        for (const QJsonObject& row : own)
            highest = std::max(highest, row.value(QStringLiteral("exit")).toInt());
        if (own.isEmpty() && *run.status != kRecordFailed)
            breach(QStringLiteral("run %1 ended with status %2 and left no row")
                       .arg(run.bench)
                       .arg(*run.status));
        else if (!own.isEmpty() && highest != *run.status)
            breach(QStringLiteral("run %1 ended with status %2, the highest exit of its rows is %3")
                       .arg(run.bench)
                       .arg(*run.status)
                       .arg(highest));
    }
}

RecordDrillReport Drill::run() {
    m_benchModules.resize(static_cast<std::size_t>(m_plan.benches));
    for (int round = 0; round < m_plan.rounds; ++round) {
        for (int bench = 0; bench < m_plan.benches; ++bench)
            addModules(bench);
        writeValuesList(round > 0);
        if (!m_report.failures.isEmpty())
            return m_report;
        playRound(round, QStringLiteral("r%1").arg(round + 1),
                  FaultsOfRound(round, m_plan.server != nullptr));
    }
    // A clean round, which stores what earlier runs kept in their spools.
    playRound(m_plan.rounds, QStringLiteral("final"), {});

    QProcess listing;
    listing.setProcessEnvironment(environment());
    listing.start(m_plan.cliProgram,
                  {QStringLiteral("record"), m_plan.target, QStringLiteral("--json")});
    if (!listing.waitForFinished(static_cast<int>(kListingTimeout.count())) ||
        listing.exitCode() != 0) {
        m_report.failures << QStringLiteral("cannot list the record: %1")
                                 .arg(QString::fromLocal8Bit(listing.readAllStandardError()));
        return m_report;
    }
    QList<QJsonObject> rows;
    for (const QByteArray& line : listing.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            rows << QJsonDocument::fromJson(line).object();
    check(rows);
    m_report.runs = static_cast<int>(m_runs.size());
    m_report.modules = static_cast<int>(m_modules.size());
    return m_report;
}

} // namespace

RecordDrillReport RunRecordDrill(const RecordDrillPlan& plan) {
    return Drill(plan).run();
}

} // namespace drills
