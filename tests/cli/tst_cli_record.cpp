// cordelo-cli with the production record, against virtual modules: benches at once never
// share a number, a record that cannot be made ready (or is locked) lets no module be written,
// a module written while the record fails still reaches it, a killed bench leaves its rows,
// and values rows are known by their values.
#include "cli_run.h"

#include "production_record/record_connection.h"
#include "production_record/record_schema.h"
#include "scratch_postgres.h"
#include "virtual_module/virtual_module.h"

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
    void writtenModuleReachesTheRecordThatFailedMidRun_data();
    void writtenModuleReachesTheRecordThatFailedMidRun();
    void killedBenchLeavesItsUnitsInterrupted_data() { databases(); }
    void killedBenchLeavesItsUnitsInterrupted();
    void valuesRowsAreKnownByTheirValues();

private:
    void databases();
    // A record no run has used yet, of the row's database; empty without a server.
    QString freshTarget();

    QTemporaryDir m_dir;
    doubles::ScratchPostgres m_server;
    bool m_serverRuns = false;
    int m_records = 0;
};

void CliRecordTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    // Keep the settings file and the spool of the tests out of the user's.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
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
                                 << "cannot open the record";
    QTest::newRow("folder missing")
        << m_dir.filePath("missing/record.db") << "cannot open the record";
    QTest::newRow("newer layout") << newer << "version 99, newer than";
    QTest::newRow("not a database") << log.fileName() << "file is not a database";
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
    QVERIFY2(run.err.contains(told), qPrintable(run.err));
    QCOMPARE(module->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
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
    options.log = [&bench](const virtual_module::LogEntry& entry) {
        if (entry.text.rfind("received <NAME=", 0) == 0)
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
}

QTEST_GUILESS_MAIN(CliRecordTest)
#include "tst_cli_record.moc"
