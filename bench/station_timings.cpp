#include "station_timings.h"

#include "cli_scale.h"

#include "platform/machine_ports.h"
#include "station/line_binding.h"
#include "station/production_line.h"
#include "station/slot_worker.h"
#include "station/station_window.h"
#include "virtual_module/virtual_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/resource.h>

namespace bench {
namespace {

using SystemClock = std::chrono::system_clock;
using virtual_module::VirtualModule;

constexpr int kWaitMs = 20'000;

// User and system time of this process, its threads included.
std::chrono::duration<double> ProcessCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return std::chrono::duration<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
}

// A module that says nothing until it is "put in".
std::unique_ptr<VirtualModule>
SilentModule(int number, std::function<void(const virtual_module::LogEntry&)> log = {}) {
    VirtualModule::Options options;
    options.faults.silent = true;
    options.settings.ownAddress = QStringLiteral("0012 6f 3b %1 %2")
                                      .arg(number / 256, 2, 16, QLatin1Char('0'))
                                      .arg(number % 256, 2, 16, QLatin1Char('0'))
                                      .toStdString();
    options.log = std::move(log);
    auto module = std::make_unique<VirtualModule>(options);
    return module->start() ? std::move(module) : nullptr;
}

StationMs WireFloor(const virtual_module::ModuleSettings& settings) {
    // The replies: the virtual module paces what it sends, not what it receives.
    std::size_t characters = std::string("[READY][]").size() + settings.firmware.size();
    for (const std::string& field : virtual_module::QueryFields(settings))
        characters += field.size() + 2;
    return StationMs(station::kPingPeriod) / 2 +
           std::chrono::duration_cast<StationMs>(virtual_module::kCharPeriod9600 * characters);
}

production_run::Job WriteJob(const QStringList& ports, const QString& record) {
    production_run::Job job;
    job.verb = production_run::Verb::Write;
    job.ports = ports;
    job.sets = QStringList{record.isEmpty() ? QStringLiteral("name=Line-{n}")
                                            : QStringLiteral("name=Unit-{unit}")};
    job.recordTarget = record;
    job.bench = QStringLiteral("bench");
    return job;
}

// Runs the event loop until `done` or the time is up.
bool SpinUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > kWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool AllIn(const station::ProductionLine& line, station::SlotPhase phase) {
    const QList<station::SlotState> states = line.slotStates();
    return std::all_of(states.cbegin(), states.cend(),
                       [phase](const station::SlotState& state) { return state.phase == phase; });
}

} // namespace

namespace {

struct StationUnit {
    StationMs unit{0};
    std::optional<StationMs> toFirstWrite;
    // From the unit's row to its slot showing where its label went.
    std::optional<StationMs> labelAfterRow;
    StationMs floor{0};
};

// A module put in a waiting slot of a line of its own at a moment `share` of the way into the
// slot's ping period; with `labels`, a job that prints the default label into that folder.
std::optional<StationUnit> PutInOne(int number, const QString& record, const QString& labels,
                                    double share, const platform::MachinePorts& machine) {
    std::mutex mutex;
    std::optional<SystemClock::time_point> firstWrite;
    const auto module = SilentModule(number, [&](const virtual_module::LogEntry& entry) {
        // Every command but the checks and queries writes.
        const bool write = entry.text.rfind("received <", 0) == 0 &&
                           entry.text.find("<PING>") == std::string::npos &&
                           entry.text.find("<VERS>") == std::string::npos &&
                           entry.text.find("<QUERY>") == std::string::npos;
        std::lock_guard lock(mutex);
        if (write && !firstWrite)
            firstWrite = entry.at;
    });
    if (!module)
        return std::nullopt;
    station::ProductionLine line(machine);
    std::optional<std::chrono::steady_clock::time_point> working;
    std::optional<std::chrono::steady_clock::time_point> finished;
    std::optional<std::chrono::steady_clock::time_point> labelled;
    QObject::connect(&line, &station::ProductionLine::slotChanged,
                     [&](int, const station::SlotState& state) {
                         if (state.phase == station::SlotPhase::Working && !working)
                             working = std::chrono::steady_clock::now();
                         if (!state.label.isEmpty() && !labelled)
                             labelled = std::chrono::steady_clock::now();
                     });
    std::optional<int> unitNumber;
    QObject::connect(&line, &station::ProductionLine::unitFinished,
                     [&](const station::FinishedUnit& unit) {
                         finished = std::chrono::steady_clock::now();
                         unitNumber = unit.unit;
                     });
    production_run::Job job = WriteJob({QString::fromStdString(module->devicePath())}, record);
    if (!labels.isEmpty()) {
        job.labelTemplate = QStringLiteral("default");
        job.labelPdfFolder = labels;
    }
    if (line.start(job))
        return std::nullopt;
    // What the module answers before it is written.
    const StationMs floor = WireFloor(module->settings());
    // Two pings unanswered: the slot is waiting for a module. It is put in at a moment of the
    // wait for the next one.
    module->waitForCommand(2, std::chrono::milliseconds(kWaitMs));
    std::this_thread::sleep_for(
        std::chrono::duration_cast<std::chrono::microseconds>(station::kPingPeriod * share));
    const auto putIn = SystemClock::now();
    module->setFaults({});
    if (!SpinUntil([&] { return finished && (labels.isEmpty() || labelled); }))
        return std::nullopt;
    line.stop();
    // A label that could not be printed is told too, and must not count as one.
    if (!labels.isEmpty() && (!unitNumber || !QFile::exists(QDir(labels).filePath(
                                                 QStringLiteral("unit-%1.pdf").arg(*unitNumber)))))
        return std::nullopt;
    StationUnit unit{*finished - *working, std::nullopt, std::nullopt, floor};
    std::lock_guard lock(mutex);
    if (firstWrite)
        unit.toFirstWrite = *firstWrite - putIn;
    if (labelled)
        unit.labelAfterRow = *labelled - *finished;
    return unit;
}

} // namespace

StationTimings MeasureStationUnits(const QString& directory, int runs) {
    StationTimings timings;
    QTemporaryDir files;
    const QString stationRecord = files.filePath(QStringLiteral("station.db"));
    const QString cliRecord = files.filePath(QStringLiteral("cli.db"));
    const QString labels = files.filePath(QStringLiteral("labels"));
    QDir().mkpath(labels);
    const platform::MachinePorts machine;
    for (int run = 0; run < runs; ++run) {
        const double share = (2.0 * run + 1) / (2.0 * runs);
        // With and without labels in turns, each first every other run.
        std::optional<StationUnit> plain;
        std::optional<StationUnit> labelled;
        for (const bool withLabels : {run % 2 == 0, run % 2 != 0}) {
            (withLabels ? labelled : plain) =
                PutInOne((withLabels ? 2000 : 1) + run, stationRecord,
                         withLabels ? labels : QString(), share, machine);
        }
        if (plain) {
            timings.floor = plain->floor;
            if (plain->toFirstWrite)
                timings.toFirstWrite.push_back(*plain->toFirstWrite);
            timings.stationUnit.push_back(plain->unit);
        }
        if (labelled) {
            timings.stationUnitWithLabels.push_back(labelled->unit);
            timings.labelAfterRow.push_back(labelled->labelAfterRow.value_or(StationMs(0)));
        }

        const auto other = SilentModule(1000 + run);
        if (!other)
            continue;
        other->setFaults({});
        QProcess cli;
        const auto started = std::chrono::steady_clock::now();
        cli.start(directory + QStringLiteral("/cordelo-cli"),
                  {QStringLiteral("write"), QStringLiteral("--port"),
                   QString::fromStdString(other->devicePath()), QStringLiteral("--set"),
                   QStringLiteral("name=Unit-{unit}"), QStringLiteral("--record"), cliRecord,
                   QStringLiteral("--bench"), QStringLiteral("bench")});
        if (cli.waitForFinished(kWaitMs) && cli.exitCode() == 0)
            timings.cliUnit.emplace_back(std::chrono::steady_clock::now() - started);
    }
    return timings;
}

std::optional<double> MeasureWaitingSlotsCpu(const QString& directory, int count,
                                             std::chrono::seconds span) {
    // The modules are processes of their own, so that this process's time is the slots' alone.
    ModuleProcesses modules(directory + QStringLiteral("/cordelo-virtual-module"));
    const QStringList ports = modules.startSeveral(count, {QStringLiteral("--silent")});
    if (ports.isEmpty())
        return std::nullopt;
    const platform::MachinePorts machine;
    station::ProductionLine line(machine);
    if (line.start(WriteJob(ports, {})))
        return std::nullopt;
    // Settled: every slot has opened its port and pings.
    if (!SpinUntil([&] { return AllIn(line, station::SlotPhase::Waiting); }))
        return std::nullopt;
    QTimer end;
    end.setSingleShot(true);
    QEventLoop loop;
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto cpuBefore = ProcessCpu();
    end.start(span);
    loop.exec();
    const auto cpu = ProcessCpu() - cpuBefore;
    line.stop();
    return 100.0 * cpu.count() / std::chrono::duration<double>(span).count();
}

std::optional<StationMs> MeasureLongestStall(int count) {
    std::vector<std::unique_ptr<VirtualModule>> modules;
    QStringList ports;
    for (int n = 0; n < count; ++n) {
        modules.push_back(SilentModule(n + 1));
        if (!modules.back())
            return std::nullopt;
        ports << QString::fromStdString(modules.back()->devicePath());
    }
    QTemporaryDir files;
    const platform::MachinePorts machine;
    station::ProductionLine line(machine);
    // The station's own window paints every change, offscreen.
    station::StationWindow window;
    window.resize(1600, 1000);
    window.show();
    station::LineBinding binding(line, window,
                                 [](const production_run::Job&) { return std::nullopt; });
    if (!binding.start(WriteJob(ports, files.filePath(QStringLiteral("stall.db")))))
        return std::nullopt;
    if (!SpinUntil([&] { return AllIn(line, station::SlotPhase::Waiting); }))
        return std::nullopt;
    for (const auto& module : modules)
        module->setFaults({});
    StationMs longest{0};
    auto last = std::chrono::steady_clock::now();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max<StationMs>(longest, now - last);
        last = now;
    });
    tick.start(std::chrono::milliseconds(5));
    const bool done = SpinUntil([&] { return AllIn(line, station::SlotPhase::Passed); });
    tick.stop();
    line.stop();
    if (!done)
        return std::nullopt;
    return longest;
}

} // namespace bench
