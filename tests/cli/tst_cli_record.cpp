// cordelo-cli with the production record, against virtual modules: benches at once never
// share a number, a record that cannot be made ready (or is locked) lets no module be written,
// a module written while the record fails still reaches it, a killed bench leaves its rows,
// and values rows are known by their values.
#include "cli_run.h"

#include "production_record/record_connection.h"
#include "production_record/record_listing.h"
#include "production_record/record_schema.h"
#include "production_record/unit_claim.h"
#include "scratch_postgres.h"
#include "virtual_module/virtual_module.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>

#include <signal.h>
#include <time.h>

using namespace std::chrono_literals;
using virtual_module::VirtualModule;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run RunCli(QStringList arguments, const std::atomic<bool>* interrupted = nullptr) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    cli::Console console{out, err, false, interrupted};
    arguments.prepend(QStringLiteral("cordelo-cli"));
    run.status = cli::RunCli(arguments, console);
    return run;
}

QString Device(const VirtualModule& module) {
    return QString::fromStdString(module.devicePath());
}

std::unique_ptr<VirtualModule> ModuleWithAddress(int number, VirtualModule::Options options = {}) {
    options.settings.ownAddress =
        QStringLiteral("0012 6f 3a %1").arg(number, 4, 10, QLatin1Char('0')).toStdString();
    auto module = std::make_unique<VirtualModule>(options);
    return module->start() ? std::move(module) : nullptr;
}

QList<QJsonObject> Listed(const QString& target) {
    QList<QJsonObject> rows;
    for (const QString& line : RunCli({"record", target, "--json"}).out.split('\n'))
        if (!line.isEmpty())
            rows << QJsonDocument::fromJson(line.toUtf8()).object();
    return rows;
}

// Two benches over two local days in Berlin, each row named by its port: a unit mended the
// same day, one mended the next (its address spelt otherwise), one that never said its
// address, an empty port, a read, and a unit whose last write failed.
struct SampleRow {
    const char* port;
    const char* time;
    const char* bench;
    const char* command;
    const char* address;
    const char* result;
    int unit;
    const char* message;
};
const SampleRow kSample[] = {
    {"r1", "2026-12-01T08:00:00Z", "bench-1", "write", "0012 6f 3a 0001", "ok", 1, ""},
    {"r2", "2026-12-01T09:00:00Z", "bench-2", "write", "0012 6f 3a 0002", "mismatch", 2,
     "name: wanted \"A-2\", found \"A\""},
    {"r3", "2026-12-01T10:00:00Z", "bench-2", "write", "0012 6f 3a 0002", "ok", 2, ""},
    {"r4", "2026-12-01T11:00:00Z", "bench-2", "write", "0012 6f 3a 0003", "mismatch", 3,
     "name: wanted \"A-3\", found \"A\""},
    {"r5", "2026-12-01T11:30:00Z", "bench-2", "write", "", "no_reply", 0, "no module answered"},
    // 00:30 on 2 December in Berlin.
    {"r6", "2026-12-01T23:30:00Z", "bench-2", "write", "0012:6F:3A:0003", "ok", 3, ""},
    {"r7", "2026-12-02T09:00:00Z", "bench-2", "write", "", "empty", 0, "nothing answered"},
    {"r8", "2026-12-02T09:30:00Z", "bench-1", "read", "0012 6f 3a 0001", "ok", 0, ""},
    {"r9", "2026-12-02T10:00:00Z", "bench-1", "write", "0012 6f 3a 0004", "not_acknowledged", 4,
     "pin was not acknowledged"},
};

// The sample rows, and a values list of three rows of which one was given.
bool FillSample(const QString& target) {
    using namespace production_record;
    RecordConnection connection(std::get<RecordTarget>(ParseRecordTarget(target)));
    if (PrepareSchema(connection))
        return false;
    QList<RecordRow> rows;
    for (const SampleRow& sample : kSample) {
        RecordRow row = NewRow();
        row.time = QDateTime::fromString(sample.time, Qt::ISODate);
        row.port = sample.port;
        row.bench = sample.bench;
        row.command = sample.command;
        row.deviceAddress = sample.address;
        row.result = sample.result;
        row.unit = sample.unit > 0 ? std::optional(sample.unit) : std::nullopt;
        row.message = sample.message;
        rows << row;
    }
    const QList<ClaimResult> claimed = ClaimUnits(
        connection, {{"0012 6f 3a 0001", "bench-1", false, "units.csv", {"a", "b", "c"}, {}}});
    return !InsertRows(connection, rows) && std::holds_alternative<UnitClaim>(claimed[0]);
}

// The table renamed away and back, as a database that fails in the middle of a run.
bool MoveRowsTable(const QString& target, const char* from, const char* to) {
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(target)));
    return !connection.open() && QSqlQuery(connection.database())
                                     .exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                                               .arg(QLatin1String(from), QLatin1String(to)));
}

} // namespace

class CliRecordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void benchesAtOnceNeverShareANumber_data() { databases(); }
    void benchesAtOnceNeverShareANumber();
    void recordFailingBeforeTheRunWritesNothing_data();
    void recordFailingBeforeTheRunWritesNothing();
    void lockedRecordIsWaitedForABoundedTime_data();
    void lockedRecordIsWaitedForABoundedTime();
    void readingWaitsForALockedRecord_data();
    void readingWaitsForALockedRecord();
    void writtenModuleReachesTheRecordThatFailedMidRun_data();
    void writtenModuleReachesTheRecordThatFailedMidRun();
    void killedBenchLeavesItsUnitsInterrupted_data() { databases(); }
    void killedBenchLeavesItsUnitsInterrupted();
    void valuesRowsAreKnownByTheirValues();
    void questionsFindTheirRows_data();
    void questionsFindTheirRows();
    void listingsOpenInSpreadsheetsAndSayWhatIsMissing();
    void summaryCountsUnitsPerBenchAndDay_data();
    void summaryCountsUnitsPerBenchAndDay();
    void runsMessageIsKeptAndThePageIsSelfContained();

private:
    void databases();
    // A record no run has used yet, of the row's database; empty without a server.
    QString freshTarget();
    // The sample record of that database, filled once; empty without a server.
    QString sample(bool postgres);

    QTemporaryDir m_dir;
    doubles::ScratchPostgres m_server;
    bool m_serverRuns = false;
    int m_records = 0;
    QString m_samples[2];
};

void CliRecordTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    // Keep the settings file and the spool of the tests out of the user's.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
    // The record's questions are asked in local days: the sample's are Berlin's.
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    m_serverRuns = m_server.start();
    if (!m_serverRuns)
        qWarning("PostgreSQL cases skipped: %s", qPrintable(m_server.errorText()));
}

void CliRecordTest::databases() {
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

QString CliRecordTest::freshTarget() {
    QFETCH(bool, postgres);
    const QString name = QStringLiteral("record%1").arg(++m_records);
    if (!postgres)
        return m_dir.filePath(name + QStringLiteral(".db"));
    return m_serverRuns && m_server.createDatabase(name) ? m_server.url(name) : QString();
}

void CliRecordTest::benchesAtOnceNeverShareANumber() {
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    std::vector<std::unique_ptr<VirtualModule>> modules;
    QList<QStringList> benches(3);
    for (int number = 0; number < 12; ++number) {
        modules.push_back(ModuleWithAddress(number));
        QVERIFY(modules.back());
        benches[number % 3] << "--port" << Device(*modules.back());
    }
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int bench = 0; bench < 3; ++bench) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(CORDELO_CLI_PROGRAM,
                                QStringList{"write", "--set", "name=Unit-{unit}", "--record",
                                            target, "--bench", QString::number(bench)} +
                                    benches[bench]);
    }
    for (const auto& process : processes) {
        QVERIFY(process->waitForFinished(60000));
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }
    // The first bench again: its modules keep their numbers.
    QCOMPARE(
        RunCli(QStringList{"write", "--set", "name=Unit-{unit}", "--record", target} + benches[0])
            .status,
        0);

    const QList<QJsonObject> rows = Listed(target);
    QCOMPARE(rows.size(), 16);
    QSet<int> units;
    QSet<std::string> names;
    for (const QJsonObject& row : rows.first(12))
        units << row.value("unit").toInt();
    for (const auto& module : modules)
        names << module->settings().name;
    QCOMPARE(units.size(), 12);
    QCOMPARE(names.size(), 12);
    QVERIFY(names.contains("Unit-1") && names.contains("Unit-12"));
}

void CliRecordTest::recordFailingBeforeTheRunWritesNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("told");
    const QString newer = m_dir.filePath("newer.db");
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(newer)));
    QVERIFY(!connection.open());
    QVERIFY(QSqlQuery(connection.database()).exec("CREATE TABLE record_schema (version INTEGER)"));
    QVERIFY(QSqlQuery(connection.database()).exec("INSERT INTO record_schema VALUES (99)"));
    QFile log(m_dir.filePath("log.csv"));
    QVERIFY(log.open(QIODevice::WriteOnly) && log.write("time,port,device\n") > 0);
    QTest::newRow("server away") << "postgresql://postgres@localhost/factory?host=" +
                                        m_dir.filePath("no-server")
                                 << "cannot reach the record";
    QTest::newRow("folder missing")
        << m_dir.filePath("missing/record.db") << "cannot open the record";
    QTest::newRow("newer layout") << newer << "version 99, newer than";
    QTest::newRow("a folder") << m_dir.path() << "is a folder; give the record's file";
    QTest::newRow("not a database") << log.fileName() << "is no production record";
}

void CliRecordTest::recordFailingBeforeTheRunWritesNothing() {
    QFETCH(QString, target);
    const auto module = ModuleWithAddress(1);
    QVERIFY(module);

    const Run run = RunCli({"write", "--port", Device(*module), "--set", "name=Unit-{unit}",
                            "--record", target, "--json"});

    QCOMPARE(run.status, 7);
    QVERIFY(run.out.contains("\"result\":\"record_failed\""));
    QFETCH(QString, told);
    QVERIFY2(run.err.count(told) == 1, qPrintable(run.err));
    // The record is made ready while the module is checked and read; nothing is written.
    QCOMPARE(module->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
}

void CliRecordTest::lockedRecordIsWaitedForABoundedTime_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("ctrlC");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told");
    QTest::newRow("sqlite, given up") << false << false << 7 << "locked by another session";
    QTest::newRow("postgresql, given up") << true << false << 7 << "locked by another session";
    QTest::newRow("postgresql, Ctrl-C") << true << true << 130 << "interrupted while waiting";
}

void CliRecordTest::lockedRecordIsWaitedForABoundedTime() {
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    QFETCH(bool, postgres);
    QFETCH(bool, ctrlC);
    const auto record =
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(target));
    production_record::RecordConnection holder(record);
    QCOMPARE(production_record::PrepareSchema(holder), std::nullopt);
    QSqlQuery hold(holder.database());
    // As an open psql transaction, or a bench stopped with Ctrl-Z in the middle of a claim.
    QVERIFY(postgres ? hold.exec("BEGIN") && hold.exec("SELECT * FROM unit_counter FOR UPDATE")
                     : hold.exec("BEGIN IMMEDIATE"));
    std::atomic<bool> interrupted{false};
    std::atomic<bool> finished{false};
    // Ctrl-C once the server shows the bench waiting for the lock.
    std::thread pressCtrlC([&] {
        production_record::RecordConnection watcher(record);
        while (ctrlC && !finished && !interrupted && !watcher.open()) {
            QSqlQuery waiting(watcher.database());
            if (waiting.exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = "
                             "'Lock'") &&
                waiting.next() && waiting.value(0).toInt() > 0)
                interrupted = true;
            std::this_thread::sleep_for(20ms);
        }
    });
    const auto module = ModuleWithAddress(1);
    QVERIFY(module);

    const Run run = RunCli({"write", "--port", Device(*module), "--set", "name=Unit-{unit}",
                            "--record", target, "--record-timeout", "3"},
                           &interrupted);
    finished = true;
    pressCtrlC.join();
    QVERIFY(hold.exec("ROLLBACK"));

    QFETCH(int, status);
    QFETCH(QString, told);
    QCOMPARE(run.status, status);
    // Waited for once and told once: the module's row goes to the spool without a second wait.
    QVERIFY2(run.err.count(told) == 1, qPrintable(run.err));
    QCOMPARE(module->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
}

void CliRecordTest::readingWaitsForALockedRecord_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("released");
    QTest::addColumn<int>("status");
    QTest::newRow("listing, given up") << true << QStringList{"--csv"} << false << 7;
    QTest::newRow("summary, given up") << true << QStringList{"--summary"} << false << 7;
    QTest::newRow("listing, lock released") << true << QStringList{"--json"} << true << 0;
}

// As a psql session that altered the table and has not committed: a reader waits for it.
void CliRecordTest::readingWaitsForALockedRecord() {
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    QVERIFY(FillSample(target));
    QFETCH(QStringList, options);
    QFETCH(bool, released);
    production_record::RecordConnection holder(
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(target)));
    QCOMPARE(holder.open(), std::nullopt);
    QSqlQuery hold(holder.database());
    QVERIFY(hold.exec("BEGIN") && hold.exec("LOCK TABLE module_records IN ACCESS EXCLUSIVE MODE"));
    QProcess reader;
    reader.start(CORDELO_CLI_PROGRAM,
                 QStringList{"record", target, "--record-timeout", released ? "20" : "1"} +
                     options);
    if (released) {
        QTRY_VERIFY(hold.exec("SELECT 1 FROM pg_locks WHERE NOT granted") && hold.next());
        QVERIFY(hold.exec("ROLLBACK"));
    }
    QVERIFY(reader.waitForFinished(30000));
    if (!released)
        QVERIFY(hold.exec("ROLLBACK"));

    QFETCH(int, status);
    QCOMPARE(reader.exitCode(), status);
    const QString err = QString::fromUtf8(reader.readAllStandardError());
    if (status != 0) {
        QVERIFY2(err.count("is locked by another session; waited 1 s") == 1 &&
                     !err.contains("55P03") && !err.contains("lock timeout"),
                 qPrintable(err));
        return;
    }
    QCOMPARE(reader.readAllStandardOutput().count('\n'), qsizetype(std::size(kSample)));
}

void CliRecordTest::writtenModuleReachesTheRecordThatFailedMidRun_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<bool>("spoolWritable");
    QTest::addColumn<int>("status");
    QTest::newRow("sqlite") << false << true << 0;
    QTest::newRow("postgresql") << true << true << 0;
    QTest::newRow("spool unwritable") << false << false << 8;
}

void CliRecordTest::writtenModuleReachesTheRecordThatFailedMidRun() {
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    VirtualModule::Options options;
    bool moved = false;
    options.log = [&](const virtual_module::LogEntry& entry) {
        if (!moved && entry.text.rfind("received <NAME=", 0) == 0)
            moved = MoveRowsTable(target, "module_records", "rows_away");
    };
    const auto module = ModuleWithAddress(1, options);
    QVERIFY(module);

    QFETCH(bool, spoolWritable);
    if (!spoolWritable)
        qputenv("XDG_DATA_HOME", "/dev/null/data");
    const Run written =
        RunCli({"write", "--port", Device(*module), "--set", "name=Unit-{unit}", "--record", target,
                "--log", m_dir.filePath(QStringLiteral("run%1.csv").arg(m_records))});
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
    // The record's questions are asked in local days: the sample's are Berlin's.
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    QVERIFY(moved && MoveRowsTable(target, "rows_away", "module_records"));
    // Another day, another log: the spool belongs to the record.
    const Run next = RunCli({"read", "--port", Device(*module), "--record", target, "--log",
                             m_dir.filePath(QStringLiteral("next%1.csv").arg(m_records))});

    QFETCH(int, status);
    QCOMPARE(written.status, status);
    const QList<QJsonObject> rows = Listed(target);
    if (!spoolWritable) {
        QVERIFY2(written.err.contains("in neither the record nor the spool"),
                 qPrintable(written.err));
        // The row begun before the write still tells that a unit went out.
        QCOMPARE(rows.first().value("result").toString(), "interrupted");
        return;
    }
    QVERIFY2(written.err.contains("1 row waits in the spool"), qPrintable(written.err));
    QVERIFY2(next.err.contains("wrote 1 row kept"), qPrintable(next.err));
    QVERIFY2(next.err.contains("0 rows wait"), qPrintable(next.err));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].value("command").toString(), "write");
    QCOMPARE(rows[0].value("unit").toInt(), 1);
    QCOMPARE(rows[0].value("settings_acknowledged").toObject().value("name").toString(), "Unit-1");
}

void CliRecordTest::killedBenchLeavesItsUnitsInterrupted() {
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    QProcess bench;
    VirtualModule::Options options;
    // Killed at its third command, once the record shows the two acknowledged before it.
    options.log = [&bench, &target](const virtual_module::LogEntry& entry) {
        if (entry.text.rfind("received <BAUD=", 0) != 0)
            return;
        production_record::RecordConnection connection(std::get<production_record::RecordTarget>(
            production_record::ParseRecordTarget(target)));
        const auto acknowledged = [&connection] {
            const auto rows = production_record::ListRows(connection, {});
            const auto* listed = std::get_if<QList<production_record::RecordRow>>(&rows);
            return listed && listed->size() == 1 && listed->first().acknowledged &&
                   listed->first().acknowledged->size() == 2;
        };
        for (int look = 0; look < 100 && !acknowledged(); ++look)
            std::this_thread::sleep_for(20ms);
        ::kill(static_cast<pid_t>(bench.processId()), SIGKILL);
    };
    const auto module = ModuleWithAddress(1, options);
    QVERIFY(module);

    bench.start(CORDELO_CLI_PROGRAM, {"write", "--port", Device(*module), "--set",
                                      "name=Unit-{unit}", "--record", target});
    QVERIFY(bench.waitForFinished(30000));

    QCOMPARE(bench.exitStatus(), QProcess::CrashExit);
    const QList<QJsonObject> rows = Listed(target);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].value("result").toString(), "interrupted");
    QCOMPARE(rows[0].value("unit").toInt(), 1);
    QCOMPARE(rows[0].value("device_address").toString(), "0012 6f 3a 0001");
    QCOMPARE(rows[0].value("settings_acknowledged").toObject().keys(),
             (QStringList{"name", "pin"}));
    const QString message = rows[0].value("message").toString();
    QVERIFY2(message.contains("the bench stopped before the module's row was completed") &&
                 message.contains("2 of 8 settings were written and acknowledged (name, pin)"),
             qPrintable(message));
}

void CliRecordTest::valuesRowsAreKnownByTheirValues() {
    QFile values(m_dir.filePath("serials.csv"));
    const auto save = [&values](const QByteArray& rows) {
        return values.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               values.write("name,pin\n" + rows) > 0 && (values.close(), true);
    };
    std::vector<std::unique_ptr<VirtualModule>> modules;
    for (int number = 1; number <= 6; ++number)
        modules.push_back(ModuleWithAddress(number));
    modules.push_back(ModuleWithAddress(6));
    const auto run = [&](std::initializer_list<int> numbers) {
        QStringList arguments{"write", "--values", values.fileName(), "--record",
                              m_dir.filePath("v.db")};
        for (const int number : numbers)
            arguments << "--port" << Device(*modules[static_cast<std::size_t>(number - 1)]);
        return RunCli(arguments);
    };
    const auto name = [&](int number) {
        return QString::fromStdString(
            modules[static_cast<std::size_t>(number - 1)]->settings().name);
    };
    QVERIFY(save("\"Sensor, A\",0420\nB,0002\n"));
    QCOMPARE(run({1}).status, 0);
    QCOMPARE(run({1}).status, 0);
    // Sorted and saved again, with a row added: no row goes out twice, none is skipped.
    QVERIFY(save("B,0002\n\"Sensor, A\",0420\nC,0003\nD,0004\n"));
    QCOMPARE(run({2, 3}).status, 0);
    // One row left for two modules: neither is written.
    const Run tooFew = run({4, 5});
    // Two modules with one device address: the second is refused.
    const Run clones = run({6, 7});

    QCOMPARE(name(1), "Sensor, A");
    QCOMPARE(modules[0]->settings().pin, std::string("0420"));
    QCOMPARE((QSet<QString>{name(2), name(3)}), (QSet<QString>{"B", "C"}));
    QCOMPARE(tooFew.status, 1);
    QVERIFY2(tooFew.err.contains("no row left that was never given for 1 of"),
             qPrintable(tooFew.err));
    for (const int number : {4, 5})
        QCOMPARE(modules[static_cast<std::size_t>(number - 1)]->receivedCount(), 3u);
    QCOMPARE(clones.status, 1);
    QVERIFY2(clones.err.contains("device address 0012 6f 3a 0006, as the module on"),
             qPrintable(clones.err));
    QCOMPARE((QSet<QString>{name(6), name(7)}).contains("D"), true);
    QVERIFY(name(6) != name(7));
    // The clone's row is no failure of the unit whose address it gave.
    QStringList results;
    for (const QJsonObject& row : Listed(m_dir.filePath("v.db")))
        results << row.value("result").toString();
    QVERIFY2(results.contains("refused"), qPrintable(results.join(' ')));
    QCOMPARE(
        RunCli({"record", m_dir.filePath("v.db"), "--latest", "--result", "failed", "--json"}).out,
        QString());
}

void CliRecordTest::questionsFindTheirRows_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rows");
    const struct {
        const char* name;
        QStringList options;
        const char* rows;
    } questions[] = {
        {"everything", {}, "r1 r2 r3 r4 r5 r6 r7 r8 r9"},
        {"bench", {"--bench", "bench-1"}, "r1 r8 r9"},
        {"bench in another case", {"--bench", "BENCH-1"}, "r1 r8 r9"},
        {"no such bench",
         {"--bench", "bench-3"},
         "refused: no bench named \"bench-3\"; its benches are bench-1, bench-2"},
        {"since a local day", {"--since", "2026-12-02"}, "r6 r7 r8 r9"},
        {"until a local day", {"--until", "2026-12-01"}, "r1 r2 r3 r4 r5"},
        {"until an instant", {"--until", "2026-12-01T10:00:00Z"}, "r1 r2 r3"},
        {"results", {"--result", "mismatch", "--result", "no_reply"}, "r2 r4 r5"},
        {"failed", {"--result", "failed"}, "r2 r4 r5 r9"},
        {"unit", {"--unit", "3"}, "r4 r6"},
        {"address in any spelling", {"--address", "00126F3A0003"}, "r4 r6"},
        // A read (r8) does not hide a unit's latest write; a row without an address (r5) is
        // an entry of its own, and a port where nothing answered (r7) is none.
        {"latest", {"--latest"}, "r1 r3 r5 r6 r9"},
        {"latest that failed", {"--latest", "--result", "failed"}, "r5 r9"},
        // The latest among the rows of that day: unit 3 was mended only the next.
        {"latest of a day", {"--latest", "--until", "2026-12-01"}, "r1 r3 r4 r5"},
        {"a bench's failures of a day",
         {"--bench", "Bench-2", "--since", "2026-12-01", "--until", "2026-12-01", "--result",
          "failed", "--latest"},
         "r4 r5"},
    };
    for (const bool postgres : {false, true}) {
        for (const auto& question : questions)
            QTest::addRow("%s, %s", postgres ? "postgresql" : "sqlite", question.name)
                << postgres << question.options << QString::fromUtf8(question.rows);
    }
}

QString CliRecordTest::sample(bool postgres) {
    QString& target = m_samples[postgres ? 1 : 0];
    if (!target.isEmpty())
        return target;
    const QString name = QStringLiteral("sample%1").arg(int(postgres));
    if (!postgres)
        target = m_dir.filePath(name + QStringLiteral(".db"));
    else if (m_serverRuns && m_server.createDatabase(name))
        target = m_server.url(name);
    if (!target.isEmpty() && !FillSample(target))
        target.clear();
    return target;
}

void CliRecordTest::questionsFindTheirRows() {
    QFETCH(bool, postgres);
    QFETCH(QStringList, options);
    const QString target = sample(postgres);
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");

    const Run run = RunCli(QStringList{"record", target, "--json"} + options);

    QFETCH(QString, rows);
    if (rows.startsWith("refused: ")) {
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(rows.mid(9)), qPrintable(run.err));
        return;
    }
    QCOMPARE(run.status, 0);
    QStringList ports;
    for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts))
        ports << QJsonDocument::fromJson(line.toUtf8()).object().value("port").toString();
    QTEST(ports.join(' '), "rows");
}

void CliRecordTest::listingsOpenInSpreadsheetsAndSayWhatIsMissing() {
    const QString target = sample(false);
    QVERIFY(!target.isEmpty());

    const Run csv = RunCli({"record", target, "--csv", "--unit", "1"});
    const Run people = RunCli({"record", target, "--latest", "--result", "failed"});

    QCOMPARE(csv.status, 0);
    const QStringList lines = csv.out.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    // A byte order mark first; local time beside UTC, as spreadsheets read a date.
    QVERIFY(lines[0].startsWith(QChar(0xfeff) + QString("time,local_time,bench,")));
    QVERIFY2(lines[1].startsWith("2026-12-01T08:00:00.000Z,2026-12-01 09:00:00,bench-1,"),
             qPrintable(lines[1]));
    QCOMPARE(people.status, 0);
    const QStringList rows = people.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows[1].contains(" r5 ") && rows[1].contains(" no address "), qPrintable(rows[1]));
}

void CliRecordTest::summaryCountsUnitsPerBenchAndDay_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("days");
    // Unit 3 failed on 1 December and passed after midnight: it counts on its first day. The
    // port where no module answered is no unit.
    const QStringList all{"bench-1 2026-12-01 1/1/1", "bench-2 2026-12-01 2/2/0 2 mismatch",
                          "bench-1 2026-12-02 1/0/0 1 not_acknowledged", "units.csv 3 1 2"};
    QTest::newRow("sqlite") << false << QStringList{} << all;
    QTest::newRow("postgresql") << true << QStringList{} << all;
    QTest::newRow("one bench") << false << QStringList{"--bench", "Bench-1"}
                               << QStringList{all[0], all[2], all[3]};
}

// Units, passed now and first pass (x/y/z), the commonest failures, and the values list.
void CliRecordTest::summaryCountsUnitsPerBenchAndDay() {
    QFETCH(QStringList, options);
    const QString target = freshTarget();
    if (target.isEmpty())
        QSKIP("no PostgreSQL server");
    QVERIFY(FillSample(target));

    const Run run = RunCli(QStringList{"record", target, "--summary", "--json"} + options);

    QCOMPARE(run.status, 0);
    const QJsonObject summary = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QStringList days;
    for (const QJsonValue& value : summary.value("days").toArray()) {
        const QJsonObject day = value.toObject();
        QString line = QStringLiteral("%1 %2 %3/%4/%5")
                           .arg(day.value("bench").toString(), day.value("day").toString())
                           .arg(day.value("units").toInt())
                           .arg(day.value("passed").toInt())
                           .arg(day.value("first_pass").toInt());
        QStringList reasons;
        for (const QJsonValue& reason : day.value("commonest_failures").toArray())
            reasons << QStringLiteral("%1 %2")
                           .arg(reason.toObject().value("units").toInt())
                           .arg(reason.toObject().value("result").toString());
        if (!reasons.isEmpty())
            line += ' ' + reasons.join(", ");
        days << line;
    }
    for (const QJsonValue& value : summary.value("values_lists").toArray()) {
        const QJsonObject list = value.toObject();
        days << QStringLiteral("%1 %2 %3 %4")
                    .arg(list.value("values_list").toString())
                    .arg(list.value("rows").toInt())
                    .arg(list.value("given").toInt())
                    .arg(list.value("left").toInt());
    }
    QTEST(days, "days");
    // A table of its own for a spreadsheet: UTF-8 by its mark, the yield a number.
    const QString csv = RunCli(QStringList{"record", target, "--summary", "--csv"} + options).out;
    QVERIFY2(csv.startsWith(QChar(0xfeff) + QString("bench,day,units,")) &&
                 csv.contains("\r\nbench-1,2026-12-01,1,1,0,0,1.0000,1.0000,0,0,0,0,0,\r\n"),
             qPrintable(csv));
    QVERIFY(!csv.contains("units.csv"));
}

void CliRecordTest::runsMessageIsKeptAndThePageIsSelfContained() {
    VirtualModule::Options forgetful;
    forgetful.faults.forget = "NAME";
    const auto good = ModuleWithAddress(1);
    const auto bad = ModuleWithAddress(2, forgetful);
    QVERIFY(good && bad);
    const QString target = m_dir.filePath("page.db");
    const QString hostile = "<img src=x onerror=alert(1)>";
    QCOMPARE(RunCli({"write", "--set", "name=U-{unit}", "--record", target, "--bench", hostile,
                     "--port", Device(*good), "--port", Device(*bad)})
                 .status,
             6);

    const QList<QJsonObject> rows = Listed(target);
    const QString page = m_dir.filePath("summary.html");
    const Run written = RunCli({"record", target, "--html", page});

    QCOMPARE(rows.size(), 2);
    // The modules claim their units in whatever order they come: the sound one has no message.
    QStringList messages{rows[0].value("message").toString(), rows[1].value("message").toString()};
    messages.sort();
    QCOMPARE(messages.first(), "");
    QVERIFY2(messages.last().contains("wanted \"U-"), qPrintable(messages.last()));
    QCOMPARE(written.status, 0);
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    // Both yields, the day's units and the one reason, and the bench only as text.
    QCOMPARE(html.count("<svg "), 4);
    QVERIFY(html.contains("&lt;img src=x onerror=alert(1)&gt;"));
    for (const char* outside : {"<img", "<script", "href", "url(", "@import"})
        QVERIFY2(!html.contains(outside), outside);
}

QTEST_GUILESS_MAIN(CliRecordTest)
#include "tst_cli_record.moc"
