// cordelo-bench: measures the figures the tool is held to and prints them as a table,
// each with its floor or baseline and the ratio.
#include "cli_scale.h"
#include "cli_timings.h"
#include "instruction_count.h"
#include "listing_cost.h"
#include "reader_throughput.h"
#include "record_cost.h"
#include "startup_cost.h"
#include "station_timings.h"
#include "label_cost.h"
#include "summary_cost.h"
#include "workflow_timings.h"

#ifdef CORDELO_SCRATCH_POSTGRES
#include "scratch_postgres.h"
#endif
#ifdef CORDELO_RECORD_DRILL
#include "record_drill.h"
#include "station_drill.h"
#endif

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

using bench::Milliseconds;

constexpr int kWorkflowRuns = 9;
constexpr int kStartupRuns = 21;
constexpr int kReaderRuns = 5;
constexpr int kScaleModules = 8;
constexpr int kScaleModuleCounts[] = {kScaleModules, 64};
constexpr int kScaleRuns = 5;
constexpr std::chrono::seconds kIdleSpan{60};
constexpr int kRecordRows = 2000;
constexpr int kRecordRuns = 9;
constexpr int kSummaryRowsSmall = 10'000;
constexpr int kSummaryRowsLarge = 100'000;
constexpr int kSummaryRuns = 5;
constexpr int kLabelRenderRuns = 21;
constexpr int kLabelRuns = 11;
// A label must be drawn well within one module's write (eight acknowledged settings), so that
// the label thread keeps up with any number of modules.
constexpr Milliseconds kModuleWrite{800};
constexpr Milliseconds kSummaryGoal{1000};
constexpr int kListingRowsSmall = 100'000;
constexpr int kListingRowsLarge = 1'000'000;
constexpr int kListingRuns = 3;
constexpr long kListingPeakGoalKiB = 40 * 1024;
constexpr Milliseconds kListingFirstRowGoal{100};
constexpr int kDrillBenches = 8;
constexpr int kDrillModulesPerRound = 2;
constexpr int kDrillRounds = 12;
// Every fault of the station's drill six times over.
constexpr int kStationDrillSteps = 6 * static_cast<int>(drills::StationFault::ValuesNearlyUsedUp);
constexpr int kStationRuns = 9;
constexpr int kStationSlots = 16;
struct WaitingSlotsGoal {
    int slotCount;
    // Percent of one core.
    double percent;
};
constexpr WaitingSlotsGoal kWaitingSlotsGoals[] = {{kStationSlots, 1.0}, {64, 2.0}};
constexpr std::chrono::seconds kStationIdle{10};
// One character at 9600 baud: a start bit, eight data bits and a stop bit.
constexpr Milliseconds kCharTime9600{10.0 / 9.6};

template <typename T> T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T{} : values[values.size() / 2];
}

void Row(const char* figure, const QString& measured, const QString& floor, double ratio,
         const char* goal, bool met) {
    std::printf("| %s | %s | %s | %.3f | %s | %s |\n", figure, qPrintable(measured),
                qPrintable(floor), ratio, goal, met ? "met" : "MISSED");
}

QString Ms(Milliseconds value) {
    return QString::number(value.count(), 'f', 1) + QStringLiteral(" ms");
}

void ReportWorkflow(const bench::WorkflowTimings& timings) {
    const struct {
        const char* figure;
        const std::vector<Milliseconds>& runs;
        Milliseconds floor;
        const char* floorText;
    } rows[] = {
        {"Connect, click to connected display", timings.connect, Milliseconds(600),
         "600 ms (100 + 100 + 400)"},
        {"Refresh, click to end of busy state", timings.refresh, Milliseconds(400), "400 ms"},
        {"Write (slave), click to success message", timings.write, Milliseconds(800),
         "800 ms (8 x 100)"},
    };
    for (const auto& row : rows) {
        const Milliseconds median = Median(row.runs);
        const double ratio = median / row.floor;
        Row(row.figure, QStringLiteral("median %1 of %2 runs").arg(Ms(median)).arg(row.runs.size()),
            row.floorText, ratio, "<= 1.05", !row.runs.empty() && ratio <= 1.05);
    }
}

// Against the line time of the bytes the command exchanged, beside the window's time
// for the same work.
void ReportCli(const bench::WorkflowTimings& window) {
    const bench::CliTimings timings = bench::MeasureCli(kWorkflowRuns);
    const Milliseconds connect = Median(window.connect);
    const Milliseconds write = Median(window.write);
    const Milliseconds refresh = Median(window.refresh);
    const struct {
        const char* figure;
        const bench::CliRuns& runs;
        QString window;
    } rows[] = {
        {"cordelo-cli read, port open to closed", timings.read,
         QStringLiteral("window: Connect %1").arg(Ms(connect))},
        {"cordelo-cli write with its verifying query", timings.write,
         QStringLiteral("window: Connect + Write %1, + Refresh to verify %2")
             .arg(Ms(connect + write), Ms(connect + write + refresh))},
    };
    for (const auto& row : rows) {
        const Milliseconds median = Median(row.runs.times);
        const Milliseconds floor = kCharTime9600 * double(row.runs.bytes);
        const double ratio = row.runs.bytes > 0 ? median / floor : 0;
        Row(row.figure,
            QStringLiteral("median %1 of %2 runs; %3")
                .arg(Ms(median))
                .arg(row.runs.times.size())
                .arg(row.window),
            QStringLiteral("wire time %1 (%2 bytes at 1.04 ms)").arg(Ms(floor)).arg(row.runs.bytes),
            ratio, "<= 1.25", !row.runs.times.empty() && ratio <= 1.25);
    }
}

// Many modules at once against one alone: the time must barely grow, the processor time
// at most in proportion.
void ReportCliScale(const QString& directory, int modules) {
    const bench::CliScaleRuns scale = bench::MeasureCliScale(directory, modules, kScaleRuns);
    if (scale.oneTime.empty() || scale.allTime.empty()) {
        std::printf("| cordelo-cli on %d modules | could not be measured | | | | MISSED |\n",
                    modules);
        return;
    }
    const Milliseconds one = Median(scale.oneTime);
    const Milliseconds all = Median(scale.allTime);
    Row(qPrintable(QStringLiteral("cordelo-cli write, verified, to %1 modules at once (process "
                                  "start to end; the modules in one process)")
                       .arg(modules)),
        QStringLiteral("median %1 of %2 runs").arg(Ms(all)).arg(scale.allTime.size()),
        QStringLiteral("one module alone %1").arg(Ms(one)), all / one, "<= 1.3", all / one <= 1.3);
    const Milliseconds oneCpu = Median(scale.oneCpu);
    const Milliseconds allCpu = Median(scale.allCpu);
    const double growth = allCpu / oneCpu;
    Row(qPrintable(
            QStringLiteral("cordelo-cli processor time, %1 modules against one").arg(modules)),
        Ms(allCpu), QStringLiteral("one module %1").arg(Ms(oneCpu)), growth,
        qPrintable(QStringLiteral("<= %1 (linear)").arg(modules)), growth <= modules);
}

// Rows per second into a record, and what the record adds to a write to 8 modules, each of
// which takes a unit number and leaves a row.
void ReportRecord(const char* database, const QString& directory,
                  const std::function<QString(int)>& fresh) {
    const std::optional<double> rate = bench::MeasureRowsPerSecond(fresh(-1), kRecordRows);
    Row(qPrintable(QStringLiteral("Record rows added one at a time, %1").arg(database)),
        rate ? QStringLiteral("%1 rows/s").arg(*rate, 0, 'f', 0)
             : QStringLiteral("could not be measured"),
        QStringLiteral("%1 rows").arg(kRecordRows), 1.0, "stated", rate.has_value());
    const bench::RecordCostRuns cost =
        bench::MeasureRecordCost(directory, kScaleModules, kRecordRuns, fresh);
    if (cost.with.empty() || cost.without.empty()) {
        std::printf("| cordelo-cli write with --record, %s | could not be measured | | | | "
                    "MISSED |\n",
                    database);
        return;
    }
    const Milliseconds with = Median(cost.with);
    const Milliseconds without = Median(cost.without);
    // Each module's row is begun in its claim's commit before the first write and completed in
    // one after the verify: two commits that must reach the disk are the least it can cost.
    const Milliseconds floor = without + Milliseconds(rate ? 2 * 1000.0 / *rate : 0.0);
    Row(qPrintable(QStringLiteral("cordelo-cli write, verified, to 8 modules with --record "
                                  "and {unit}, %1 (process start to end)")
                       .arg(database)),
        QStringLiteral("median %1 of %2 runs").arg(Ms(with)).arg(cost.with.size()),
        QStringLiteral("without the record %1; floor of two commits %2 (%3 x)")
            .arg(Ms(without), Ms(floor))
            .arg(floor / without, 0, 'f', 3),
        with / without, "<= 1.05", with / without <= 1.05);
}

void ReportRecords(const QString& directory) {
    QTemporaryDir files;
    ReportRecord("SQLite file", directory, [&files](int run) {
        return files.filePath(QStringLiteral("record%1.db").arg(run + 1));
    });
#ifdef CORDELO_SCRATCH_POSTGRES
    doubles::ScratchPostgres server;
    if (!server.start()) {
        std::printf("| PostgreSQL record | no server: %s | | | | MISSED |\n",
                    qPrintable(server.errorText()));
        return;
    }
    ReportRecord("PostgreSQL, local socket", directory, [&server](int run) {
        const QString name = QStringLiteral("record%1").arg(run + 1);
        return server.createDatabase(name) ? server.url(name) : QString();
    });
#endif
}

// `record --summary` on a record of 10,000 and of 100,000 rows: the time against the goal of a
// second, and how time and peak memory grow with the rows.
void ReportSummary(const char* database, const QString& directory,
                   const std::function<QString(int rows)>& fresh) {
    std::optional<bench::SummaryRun> runs[2];
    const int sizes[2] = {kSummaryRowsSmall, kSummaryRowsLarge};
    for (int size = 0; size < 2; ++size) {
        const QString target = fresh(sizes[size]);
        if (!target.isEmpty() && bench::FillRecord(target, sizes[size]))
            runs[size] = bench::MeasureSummary(directory, target, kSummaryRuns);
    }
    if (!runs[0] || !runs[1]) {
        std::printf("| cordelo-cli record --summary, %s | could not be measured | | | | MISSED |\n",
                    database);
        return;
    }
    const auto mib = [](long kib) { return QString::number(kib / 1024.0, 'f', 1) + " MiB"; };
    Row(qPrintable(QStringLiteral("cordelo-cli record --summary, %1, 100,000 rows (process start "
                                  "to end)")
                       .arg(database)),
        QStringLiteral("median %1 of %2 runs, peak %3")
            .arg(Ms(runs[1]->time))
            .arg(kSummaryRuns)
            .arg(mib(runs[1]->peakKiB)),
        QStringLiteral("goal %1").arg(Ms(kSummaryGoal)), runs[1]->time / kSummaryGoal, "< 1",
        runs[1]->time < kSummaryGoal);
    Row(qPrintable(
            QStringLiteral("record --summary growth, %1, 100,000 rows vs 10,000").arg(database)),
        QStringLiteral("time x %1, peak memory x %2")
            .arg(runs[1]->time / runs[0]->time, 0, 'f', 2)
            .arg(double(runs[1]->peakKiB) / runs[0]->peakKiB, 0, 'f', 2),
        QStringLiteral("10,000 rows: %1, peak %2").arg(Ms(runs[0]->time), mib(runs[0]->peakKiB)),
        runs[1]->time / runs[0]->time, "stated", true);
}

// `cordelo-cli record` listing 100,000 and 1,000,000 rows in each form: the peak memory
// against 40 MiB (it must not grow with the rows), the first row against 100 ms, and the
// whole listing.
void ReportListing(const char* database, const QString& directory,
                   const std::function<QString(int rows)>& fresh) {
    const struct {
        const char* name;
        QStringList options;
        int headerLines;
    } forms[] = {{"CSV", {QStringLiteral("--csv")}, 1},
                 {"JSON", {QStringLiteral("--json")}, 0},
                 {"columns", {}, 1},
                 {"--latest, CSV", {QStringLiteral("--latest"), QStringLiteral("--csv")}, 1}};
    const auto mib = [](long kib) { return QString::number(kib / 1024.0, 'f', 1) + " MiB"; };
    for (const int rows : {kListingRowsSmall, kListingRowsLarge}) {
        const QString target = fresh(rows);
        if (target.isEmpty() || !bench::FillRecord(target, rows)) {
            std::printf(
                "| cordelo-cli record, %s, %d rows | could not be filled | | | | MISSED |\n",
                database, rows);
            continue;
        }
        for (const auto& form : forms) {
            const auto run = bench::MeasureListing(directory, target, form.options,
                                                   form.headerLines, kListingRuns);
            const QString figure = QStringLiteral("cordelo-cli record, %1, %2, %L3 rows")
                                       .arg(QLatin1String(database), QLatin1String(form.name))
                                       .arg(rows);
            if (!run) {
                std::printf("| %s | could not be measured | | | | MISSED |\n", qPrintable(figure));
                continue;
            }
            Row(qPrintable(figure + QStringLiteral(", peak memory")),
                QStringLiteral("%1 (first row %2, all %3 lines %4)")
                    .arg(mib(run->peakKiB), Ms(run->firstRow))
                    .arg(run->lines)
                    .arg(Ms(run->total)),
                QStringLiteral("goal %1").arg(mib(kListingPeakGoalKiB)),
                double(run->peakKiB) / kListingPeakGoalKiB, "< 1",
                run->peakKiB < kListingPeakGoalKiB);
            Row(qPrintable(figure + QStringLiteral(", first row")), Ms(run->firstRow),
                QStringLiteral("goal %1").arg(Ms(kListingFirstRowGoal)),
                run->firstRow / kListingFirstRowGoal, "< 1", run->firstRow < kListingFirstRowGoal);
        }
    }
}

// `report` on a fresh record of each database that has `rows` rows to come, named after
// `what`: an SQLite file, and a database of a private PostgreSQL server where one can start.
void OnEachDatabase(const char* what, const QString& directory,
                    void (*report)(const char*, const QString&,
                                   const std::function<QString(int rows)>&)) {
    QTemporaryDir files;
    report("SQLite file", directory, [&files, what](int rows) {
        return files.filePath(QStringLiteral("%1%2.db").arg(QLatin1String(what)).arg(rows));
    });
#ifdef CORDELO_SCRATCH_POSTGRES
    doubles::ScratchPostgres server;
    if (!server.start()) {
        std::printf("| record %s, PostgreSQL | no server: %s | | | | MISSED |\n", what,
                    qPrintable(server.errorText()));
        return;
    }
    report("PostgreSQL, local socket", directory, [&server, what](int rows) {
        const QString name = QStringLiteral("%1%2").arg(QLatin1String(what)).arg(rows);
        return server.createDatabase(name) ? server.url(name) : QString();
    });
#endif
}

#ifdef CORDELO_RECORD_DRILL
// The long fault drill: what it did, and how many of the record's invariants held through it;
// each one that failed is told on stderr.
void ReportDrill(const char* database, drills::RecordDrillPlan plan, const QString& folder) {
    plan.folder = folder;
    plan.benches = kDrillBenches;
    plan.modulesPerRound = kDrillModulesPerRound;
    plan.rounds = kDrillRounds;
    if (!QDir().mkpath(folder)) {
        std::printf("| Record fault drill, %s | no folder %s | | | | MISSED |\n", database,
                    qPrintable(folder));
        return;
    }
    const drills::RecordDrillReport report = drills::RunRecordDrill(plan);
    QStringList faults;
    for (std::size_t kind = 0; kind < drills::kDrillFaults; ++kind) {
        if (report.faults[kind] > 0)
            faults << QStringLiteral("%1 %2")
                          .arg(report.faults[kind])
                          .arg(QLatin1String(drills::kDrillFaultNames[kind]));
    }
    const int held = report.checked - report.broken;
    Row(qPrintable(QStringLiteral("Record fault drill, %1: %2 benches at once, %3 rounds and a "
                                  "clean one")
                       .arg(database)
                       .arg(plan.benches)
                       .arg(plan.rounds)),
        QStringLiteral("%1 invariants held of %2; %3 runs, %4 modules, %5 units; faults: %6")
            .arg(held)
            .arg(report.checked)
            .arg(report.runs)
            .arg(report.modules)
            .arg(report.units)
            .arg(faults.join(QStringLiteral(", "))),
        QStringLiteral("%1 invariants checked").arg(report.checked),
        report.checked > 0 ? double(held) / report.checked : 0, "all held",
        report.failures.isEmpty());
    for (const QString& failure : report.failures)
        std::fprintf(stderr, "record drill, %s: %s\n", database, qPrintable(failure));
}

// The station's drill: the faults played, and each invariant with its checks.
void ReportStationDrill(const char* database, drills::StationDrillPlan plan) {
    plan.steps = kStationDrillSteps;
    const drills::StationDrillReport report = drills::RunStationDrill(plan);
    QStringList faults;
    for (std::size_t kind = 0; kind < drills::kStationFaults; ++kind) {
        if (report.faults[kind] > 0)
            faults << QStringLiteral("%1 %2")
                          .arg(report.faults[kind])
                          .arg(QLatin1String(drills::kStationFaultNames[kind]));
    }
    std::printf("| Station fault drill, %s: %d slots, %d put-ins | faults: %s | | | | |\n",
                database, plan.slotCount, report.putIns, qPrintable(faults.join(", ")));
    for (std::size_t invariant = 0; invariant < drills::kStationInvariants; ++invariant) {
        const int checked = report.checked[invariant];
        const int held = checked - report.broken[invariant];
        Row(qPrintable(
                QStringLiteral("Station fault drill, %1: %2")
                    .arg(database, QLatin1String(drills::kStationInvariantNames[invariant]))),
            QStringLiteral("%1 of %2 checks held").arg(held).arg(checked),
            QStringLiteral("%1 checks").arg(checked), checked > 0 ? double(held) / checked : 0,
            "all held", checked > 0 && held == checked);
    }
    for (const QString& failure : report.failures)
        std::fprintf(stderr, "station drill, %s: %s\n", database, qPrintable(failure));
}

void ReportStationDrills(const QString& directory) {
    QTemporaryDir files;
    drills::StationDrillPlan plan;
    plan.stationProgram = directory + QStringLiteral("/cordelo-station");
    plan.folder = files.path();
    plan.target = files.filePath(QStringLiteral("record.db"));
    ReportStationDrill("SQLite file", plan);
    doubles::ScratchPostgres server;
    if (!server.start() || !server.createDatabase(QStringLiteral("station"))) {
        std::printf("| Station fault drill, PostgreSQL | no server: %s | | | | MISSED |\n",
                    qPrintable(server.errorText()));
        return;
    }
    plan.server = &server;
    plan.target = server.url(QStringLiteral("station"));
    ReportStationDrill("PostgreSQL", plan);
}

void ReportRecordDrills(const QString& directory) {
    QTemporaryDir files;
    drills::RecordDrillPlan plan;
    plan.cliProgram = directory + QStringLiteral("/cordelo-cli");
    plan.target = files.filePath(QStringLiteral("sqlite/record.db"));
    ReportDrill("SQLite file", plan, files.filePath(QStringLiteral("sqlite")));
    doubles::ScratchPostgres server;
    if (!server.start() || !server.createDatabase(QStringLiteral("drill"))) {
        std::printf("| Record fault drill, PostgreSQL | no server: %s | | | | MISSED |\n",
                    qPrintable(server.errorText()));
        return;
    }
    plan.server = &server;
    plan.target = server.url(QStringLiteral("drill"));
    ReportDrill("PostgreSQL", plan, files.filePath(QStringLiteral("postgresql")));
}
#endif

void ReportStation(const QString& directory) {
    const bench::StationTimings units = bench::MeasureStationUnits(directory, kStationRuns);
    if (units.toFirstWrite.empty() || units.cliUnit.empty()) {
        std::printf("| cordelo-station | could not be measured | | | | MISSED |\n");
    } else {
        const Milliseconds first = Median(units.toFirstWrite);
        const Milliseconds floor = units.floor;
        Row("cordelo-station: module answering in a waiting slot to its first write command",
            QStringLiteral("median %1 of %2 modules").arg(Ms(first)).arg(units.toFirstWrite.size()),
            QStringLiteral("the wire's floor %1: half a ping period, the replies to a ping, the "
                           "version and the settings at 9600 baud")
                .arg(Ms(floor)),
            first / floor, "<= 1.15", first <= floor * 1.15);
        const Milliseconds station = Median(units.stationUnit);
        const Milliseconds cli = Median(units.cliUnit);
        Row("cordelo-station: one unit, verified and recorded (slot's first step to its row)",
            QStringLiteral("median %1 of %2").arg(Ms(station)).arg(units.stationUnit.size()),
            QStringLiteral("cordelo-cli write, same job, process start to end %1").arg(Ms(cli)),
            station / cli, "<= 1.05", station <= cli * 1.05);
        if (!units.stationUnitWithLabels.empty()) {
            const Milliseconds labelled = Median(units.stationUnitWithLabels);
            Row("cordelo-station: one unit with --label default --label-pdf (slot's first step to "
                "its row)",
                QStringLiteral("median %1 of %2; its label shown %3 after the row")
                    .arg(Ms(labelled))
                    .arg(units.stationUnitWithLabels.size())
                    .arg(Ms(Median(units.labelAfterRow))),
                QStringLiteral("without labels %1").arg(Ms(station)), labelled / station, "<= 1.05",
                labelled <= station * 1.05);
        }
    }
    for (const WaitingSlotsGoal goal : kWaitingSlotsGoals) {
        const std::optional<double> cpu =
            bench::MeasureWaitingSlotsCpu(directory, goal.slotCount, kStationIdle);
        Row(qPrintable(QStringLiteral("cordelo-station: CPU of %1 waiting slots, %2 s")
                           .arg(goal.slotCount)
                           .arg(kStationIdle.count())),
            cpu ? QString::number(*cpu, 'f', 3) + " % of a core" : QStringLiteral("not measured"),
            "-", cpu.value_or(0) / goal.percent,
            qPrintable(QStringLiteral("<= %1 %").arg(goal.percent)), cpu && *cpu <= goal.percent);
    }
    const std::optional<bench::StationMs> stall = bench::MeasureLongestStall(kStationSlots);
    Row("cordelo-station: longest event-loop stall while 16 slots write at once",
        stall ? Ms(*stall) : QStringLiteral("not measured"), "50 ms",
        stall ? *stall / Milliseconds(50) : 0, "<= 50 ms", stall && *stall <= Milliseconds(50));
}

void ReportIdleCpu() {
    const double percent = bench::MeasureIdleCpuPercent(kIdleSpan);
    Row("CPU while connected and idle, 60 s", QString::number(percent, 'f', 3) + " % of a core",
        "-", percent / 0.2, "<= 0.2 %", percent >= 0 && percent <= 0.2);
}

QString Millions(double count) {
    return QString::number(count / 1e6, 'f', 1) + QStringLiteral(" M instructions");
}

void ReportStartupInstructions(const QString& tool, const QString& minimal) {
    const char* figure = "Start-up to first paint, instructions (callgrind)";
    const std::optional<double> toolCount = bench::CountInstructions(tool);
    const std::optional<double> minimalCount = bench::CountInstructions(minimal);
    if (!toolCount || !minimalCount) {
        std::printf(
            "| %s | could not be measured (is valgrind installed?) | | | <= 1.3 | MISSED |\n",
            figure);
        return;
    }
    const double ratio = *toolCount / *minimalCount;
    Row(figure, Millions(*toolCount), "minimal Qt Widgets program " + Millions(*minimalCount),
        ratio, "<= 1.3", ratio <= 1.3);
}

void ReportStartup(const QString& directory) {
    const auto [tool, minimal] = bench::CompareStartup(
        directory + "/bench-tool-startup", directory + "/bench-minimal-widgets", kStartupRuns);
    if (tool.empty()) {
        std::printf("| start-up | could not be measured | | | | MISSED |\n");
        return;
    }
    std::vector<Milliseconds> toolPaint;
    std::vector<Milliseconds> minimalPaint;
    std::vector<double> paintRatios;
    std::vector<long> toolPeak;
    std::vector<long> minimalPeak;
    for (std::size_t i = 0; i < tool.size(); ++i) {
        toolPaint.push_back(tool[i].toFirstPaint);
        minimalPaint.push_back(minimal[i].toFirstPaint);
        // Each pair ran back to back, so its ratio is free of the machine's slower spells.
        paintRatios.push_back(tool[i].toFirstPaint / minimal[i].toFirstPaint);
        toolPeak.push_back(tool[i].peakKiB);
        minimalPeak.push_back(minimal[i].peakKiB);
    }
    const double paintRatio = Median(paintRatios);
    Row("Start-up to first paint (median; ratio: median of back-to-back pairs)",
        Ms(Median(toolPaint)), "minimal Qt Widgets program " + Ms(Median(minimalPaint)), paintRatio,
        "<= 1.3", paintRatio <= 1.3);
    ReportStartupInstructions(directory + "/bench-tool-startup",
                              directory + "/bench-minimal-widgets");
    const double peakRatio = double(Median(toolPeak)) / double(Median(minimalPeak));
    Row("Peak memory (median)", QString::number(Median(toolPeak) / 1024.0, 'f', 1) + " MiB",
        "minimal Qt Widgets program " + QString::number(Median(minimalPeak) / 1024.0, 'f', 1) +
            " MiB",
        peakRatio, "<= 1.3", peakRatio <= 1.3);
}

// The fastest of several passes: what the machine did meanwhile only ever adds time.
bench::ReaderThroughput BestOfReaderRuns(const QByteArray& input) {
    bench::ReaderThroughput best = bench::MeasureReader(input);
    for (int i = 1; i < kReaderRuns; ++i) {
        const bench::ReaderThroughput run = bench::MeasureReader(input);
        best.readerTime = std::min(best.readerTime, run.readerTime);
        best.memchrTime = std::min(best.memchrTime, run.memchrTime);
        best.tokens = std::min(best.tokens, run.tokens);
    }
    return best;
}

void ReportReader() {
    const QByteArray small = bench::MixedInput(1 << 20);
    const QByteArray large = bench::MixedInput(8 << 20);
    // Warm up caches and allocator once before the measured runs.
    bench::MeasureReader(small);
    const bench::ReaderThroughput oneMiB = BestOfReaderRuns(small);
    const bench::ReaderThroughput eightMiB = BestOfReaderRuns(large);
    const auto perByte = [](std::chrono::nanoseconds time, qsizetype bytes) {
        return double(time.count()) / double(bytes);
    };
    const double smallCost = perByte(oneMiB.readerTime, small.size());
    const double largeCost = perByte(eightMiB.readerTime, large.size());
    const double linearity = largeCost / smallCost;
    Row("ReadToken cost per byte, 8 MiB vs 1 MiB of mixed input",
        QStringLiteral("%1 ns/B at 8 MiB, %2 ns/B at 1 MiB")
            .arg(largeCost, 0, 'f', 2)
            .arg(smallCost, 0, 'f', 2),
        "the same reader at 1 MiB", linearity, "<= 1.2 (linear)",
        linearity <= 1.2 && oneMiB.tokens > 0 && eightMiB.tokens > 0);
    const double memchrCost = perByte(eightMiB.memchrTime, large.size());
    Row("ReadToken against memchr, 8 MiB", QStringLiteral("%1 ns/B").arg(largeCost, 0, 'f', 2),
        QStringLiteral("memchr scan %1 ns/B").arg(memchrCost, 0, 'f', 3), largeCost / memchrCost,
        "stated", true);
}

// Drawing one label per code kind against one module's write, and a write to 8 modules with
// labels against one without.
void ReportLabels(const QString& directory) {
    for (const auto& [kind, name] : {std::pair{profile::CodeKind::Qr, "QR Code"},
                                     std::pair{profile::CodeKind::DataMatrix, "Data Matrix"},
                                     std::pair{profile::CodeKind::Code128, "Code 128"}}) {
        const std::vector<Milliseconds> runs = bench::MeasureLabelRender(kind, kLabelRenderRuns);
        const Milliseconds median = Median(runs);
        Row(qPrintable(QStringLiteral("One label drawn into a PDF file, %1").arg(name)),
            QStringLiteral("median %1 of %2 runs").arg(Ms(median)).arg(runs.size()),
            QStringLiteral("one module's write %1").arg(Ms(kModuleWrite)), median / kModuleWrite,
            "<= 0.05", !runs.empty() && median / kModuleWrite <= 0.05);
    }
    const bench::LabelCostRuns cost = bench::MeasureLabelCost(directory, kScaleModules, kLabelRuns);
    if (cost.with.empty() || cost.without.empty()) {
        std::printf("| cordelo-cli write with --label | could not be measured | | | | MISSED |\n");
        return;
    }
    const struct {
        const char* what;
        const std::vector<Milliseconds>& runs;
    } rows[] = {{"into a new folder", cost.with},
                {"again, each label replacing the file of the run before", cost.replacing}};
    for (const auto& row : rows) {
        // Each ran back to back with one without, so its ratio is free of the machine's
        // slower spells.
        std::vector<double> ratios;
        for (std::size_t run = 0; run < row.runs.size(); ++run)
            ratios.push_back(row.runs[run] / cost.without[run]);
        const double ratio = Median(ratios);
        Row(qPrintable(QStringLiteral("cordelo-cli write to %1 modules with --label default "
                                      "--label-pdf, %2 (process start to end; ratio: median of "
                                      "back-to-back pairs)")
                           .arg(kScaleModules)
                           .arg(row.what)),
            QStringLiteral("median %1 of %2 runs").arg(Ms(Median(row.runs))).arg(row.runs.size()),
            QStringLiteral("without labels %1").arg(Ms(Median(cost.without))), ratio, "<= 1.05",
            ratio <= 1.05);
    }
}

} // namespace

int main(int argc, char** argv) {
    // Measurements map ports of their own: keep the user's settings out of it.
    QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", configuration.path().toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // With no arguments every section runs; otherwise only the sections named.
    const QStringList chosen = QCoreApplication::arguments().mid(1);
    const auto wanted = [&chosen](const char* section) {
        return chosen.isEmpty() || chosen.contains(QLatin1String(section));
    };
    std::printf("| figure | measured | floor or baseline | ratio | goal | |\n");
    std::printf("|---|---|---|---|---|---|\n");
    if (wanted("reader"))
        ReportReader();
    if (wanted("startup"))
        ReportStartup(QCoreApplication::applicationDirPath());
    if (wanted("workflow") || wanted("cli")) {
        const bench::WorkflowTimings window = bench::MeasureWorkflow(kWorkflowRuns);
        if (wanted("workflow"))
            ReportWorkflow(window);
        if (wanted("cli"))
            ReportCli(window);
    }
    if (wanted("scale")) {
        for (const int modules : kScaleModuleCounts)
            ReportCliScale(QCoreApplication::applicationDirPath(), modules);
    }
    if (wanted("record"))
        ReportRecords(QCoreApplication::applicationDirPath());
    if (wanted("summary"))
        OnEachDatabase("summary", QCoreApplication::applicationDirPath(), ReportSummary);
    if (wanted("labels"))
        ReportLabels(QCoreApplication::applicationDirPath());
    if (wanted("listing"))
        OnEachDatabase("listing", QCoreApplication::applicationDirPath(), ReportListing);
#ifdef CORDELO_RECORD_DRILL
    if (wanted("drill"))
        ReportRecordDrills(QCoreApplication::applicationDirPath());
    if (wanted("station-drill"))
        ReportStationDrills(QCoreApplication::applicationDirPath());
#endif
    if (wanted("station"))
        ReportStation(QCoreApplication::applicationDirPath());
    if (wanted("idle"))
        ReportIdleCpu();
    return 0;
}
