// cordelo-cli with the production record, against virtual modules: benches at once never
// share a number, a record that cannot be made ready lets no module be written, a module written
// while the record fails still reaches it, and a values list that runs out stops before a write.
#include "cli_run.h"

#include "production_record/record_connection.h"
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

using virtual_module::VirtualModule;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run RunCli(QStringList arguments) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    cli::Console console{out, err, false, nullptr};
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
    void writtenModuleReachesTheRecordThatFailedMidRun_data() { databases(); }
    void writtenModuleReachesTheRecordThatFailedMidRun();
    void valuesListRunningOutStopsBeforeTheWrite();

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
    QVERIFY(QSqlQuery(connection.database()).exec("INSERT INTO record_schema VALUES (2)"));
    QTest::newRow("server away") << "postgresql://postgres@localhost/factory?host=" +
                                        m_dir.filePath("no-server")
                                 << "cannot open the record";
    QTest::newRow("folder missing")
        << m_dir.filePath("missing/record.db") << "cannot open the record";
    QTest::newRow("newer layout") << newer << "version 2, newer than";
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
    QVERIFY2(run.err.contains(told), qPrintable(run.err));
    // The record is made ready while the module is checked and read; nothing is written.
    QCOMPARE(module->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
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

    const Run written =
        RunCli({"write", "--port", Device(*module), "--set", "name=Unit-{unit}", "--record", target,
                "--log", m_dir.filePath(QStringLiteral("run%1.csv").arg(m_records))});
    QVERIFY(moved && MoveRowsTable(target, "rows_away", "module_records"));
    const Run next = RunCli({"read", "--port", Device(*module), "--record", target, "--log",
                             m_dir.filePath(QStringLiteral("run%1.csv").arg(m_records))});

    QCOMPARE(written.status, 0);
    QVERIFY2(written.err.contains(".csv.record-spool"), qPrintable(written.err));
    QVERIFY2(next.err.contains("wrote 1 row kept"), qPrintable(next.err));
    const QList<QJsonObject> rows = Listed(target);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].value("command").toString(), "write");
    QCOMPARE(rows[0].value("unit").toInt(), 1);
    QCOMPARE(rows[0].value("settings_acknowledged").toObject().value("name").toString(), "Unit-1");
}

void CliRecordTest::valuesListRunningOutStopsBeforeTheWrite() {
    QFile values(m_dir.filePath("serials.csv"));
    QVERIFY(values.open(QIODevice::WriteOnly));
    values.write("name,pin\n\"Sensor, A\",0420\n");
    values.close();
    const auto first = ModuleWithAddress(1);
    const auto second = ModuleWithAddress(2);
    QVERIFY(first && second);
    const QStringList record{"--values", values.fileName(), "--record", m_dir.filePath("v.db")};

    const Run taken = RunCli(QStringList{"write", "--port", Device(*first)} + record);
    const Run again = RunCli(QStringList{"write", "--port", Device(*first)} + record);
    const Run usedUp = RunCli(QStringList{"write", "--port", Device(*second)} + record);

    QCOMPARE(taken.status, 0);
    QCOMPARE(again.status, 0);
    QCOMPARE(first->settings().name, std::string("Sensor, A"));
    QCOMPARE(first->settings().pin, std::string("0420"));
    QCOMPARE(usedUp.status, 1);
    QVERIFY2(usedUp.err.contains("serials.csv is used up"), qPrintable(usedUp.err));
    QCOMPARE(second->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
}

QTEST_GUILESS_MAIN(CliRecordTest)
#include "tst_cli_record.moc"
