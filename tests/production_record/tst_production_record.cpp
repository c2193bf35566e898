// The record itself on each database: a module keeps its number and values row, the values
// list runs out without burning a number, a newer layout is left alone, and spooled rows
// reach the record once.
#include "production_record/record_listing.h"
#include "production_record/record_schema.h"
#include "production_record/record_spool.h"
#include "production_record/record_summary.h"
#include "production_record/unit_claim.h"

#ifdef CORDELO_SCRATCH_POSTGRES
#include "scratch_postgres.h"
#endif

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace production_record;

class ProductionRecordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void targetsAreParsed_data();
    void targetsAreParsed();
    void serviceFileReachesTheRecord();
    void settingsLineReadsBack_data();
    void settingsLineReadsBack();
    void moduleKeepsItsNumberAndValuesRow_data() { databases(); }
    void moduleKeepsItsNumberAndValuesRow();
    void recordInTheBenchRolesOwnSchemaOpensAgain();
    void newerLayoutIsRefusedAndLeftAlone_data() { databases(); }
    void newerLayoutIsRefusedAndLeftAlone();
    void spooledRowsReachTheRecordOnce_data() { databases(); }
    void spooledRowsReachTheRecordOnce();
    void olderLayoutIsReadThenUpgradedInPlace_data() { databases(); }
    void olderLayoutIsReadThenUpgradedInPlace();

private:
    void databases();
    // A fresh, prepared record of the row's database.
    RecordTarget freshTarget();

    QTemporaryDir m_dir;
    int m_databases = 0;
#ifdef CORDELO_SCRATCH_POSTGRES
    doubles::ScratchPostgres m_server;
    bool m_serverRuns = false;
#endif
};

void ProductionRecordTest::initTestCase() {
    QVERIFY(m_dir.isValid());
#ifdef CORDELO_SCRATCH_POSTGRES
    m_serverRuns = m_server.start();
    if (!m_serverRuns)
        qWarning("PostgreSQL cases skipped: %s", qPrintable(m_server.errorText()));
#endif
}

void ProductionRecordTest::databases() {
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
#ifdef CORDELO_SCRATCH_POSTGRES
    QTest::newRow("postgresql") << true;
#endif
}

RecordTarget ProductionRecordTest::freshTarget() {
    QFETCH(bool, postgres);
    const QString name = QStringLiteral("record%1").arg(++m_databases);
    if (!postgres)
        return std::get<RecordTarget>(ParseRecordTarget(m_dir.filePath(name + ".db")));
#ifdef CORDELO_SCRATCH_POSTGRES
    if (m_serverRuns && m_server.createDatabase(name))
        return std::get<RecordTarget>(ParseRecordTarget(m_server.url(name)));
#endif
    return {};
}

void ProductionRecordTest::targetsAreParsed_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("file") << "bench.db"
                          << ""
                          << "" << 5432;
    QTest::newRow("server") << "postgresql://line@db.example:6543/factory"
                            << ""
                            << "db.example" << 6543;
    QTest::newRow("socket") << "postgresql://line@localhost/factory?host=/run/pg&port=5433"
                            << ""
                            << "/run/pg" << 5433;
    QTest::newRow("password") << "postgresql://line:secret@db/factory"
                              << "never in the URL"
                              << "" << 0;
    QTest::newRow("password item") << "postgresql://line@db/factory?password=secret"
                                   << "never in the URL"
                                   << "" << 0;
    // Qt's own message goes on to repeat the URL.
    QTest::newRow("invalid, with a password") << "postgresql://line:secret@db:99999/factory"
                                              << "Invalid port"
                                              << "" << 0;
    QTest::newRow("no database") << "postgresql://line@db"
                                 << "dbname"
                                 << "" << 0;
    QTest::newRow("other scheme") << "mysql://line:secret@db/factory"
                                  << "postgresql:// URL"
                                  << "" << 0;
}

void ProductionRecordTest::targetsAreParsed() {
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    const auto parsed = ParseRecordTarget(text);
    if (!refusal.isEmpty()) {
        const QString told = std::get<QString>(parsed);
        QVERIFY2(told.contains(refusal) && !told.contains("secret"), qPrintable(told));
        return;
    }
    const RecordTarget& target = std::get<RecordTarget>(parsed);
    QTEST(target.host, "host");
    QCOMPARE(target.kind == RecordTarget::Kind::Postgres, !target.host.isEmpty());
    if (!target.host.isEmpty())
        QTEST(target.port, "port");
}

void ProductionRecordTest::serviceFileReachesTheRecord() {
#ifdef CORDELO_SCRATCH_POSTGRES
    if (!m_serverRuns)
        QSKIP("no PostgreSQL server");
    QVERIFY(m_server.createDatabase("byservice"));
    QFile services(m_dir.filePath("pg_service.conf"));
    QVERIFY(services.open(QIODevice::WriteOnly) && services.write("[bench]\ndbname=byservice\n"));
    services.close();
    qputenv("PGSERVICEFILE", QFile::encodeName(services.fileName()));
    // The server's socket from the URL, the database from the service file.
    RecordConnection connection(std::get<RecordTarget>(
        ParseRecordTarget(m_server.url("") + "&service=bench&application_name=bench-7")));

    QCOMPARE(connection.open(), std::nullopt);
    QSqlQuery database(connection.database());
    QVERIFY(database.exec("SELECT current_database()") && database.next());
    QCOMPARE(database.value(0).toString(), "byservice");
#else
    QSKIP("no PostgreSQL server here");
#endif
}

void ProductionRecordTest::settingsLineReadsBack_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line");
    QTest::newRow("ordinary") << QString("Caf\u00e9-7") << "name=Caf\u00e9-7;pin=1234";
    QTest::newRow("name as a PIN") << QString("U;pin=0") << "name=U%3Bpin%3D0;pin=1234";
    QTest::newRow("percent, line break") << QString("100%\n") << "name=100%25%0A;pin=1234";
}

void ProductionRecordTest::settingsLineReadsBack() {
    QFETCH(QString, name);
    QTEST(SettingsLine(SettingsText{{"name", name}, {"pin", "1234"}}), "line");
}

void ProductionRecordTest::moduleKeepsItsNumberAndValuesRow() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    const QStringList keys{"name=A", "name=B"};
    const auto claim = [&](const QString& address, bool values) {
        return ClaimUnits(connection, {{address,
                                        "bench-1",
                                        true,
                                        values ? "units.csv" : "",
                                        values ? keys : QStringList(),
                                        {}}})
            .constFirst();
    };
    const auto taken = [](const std::variant<UnitClaim, ClaimRefusal>& claimed) {
        const UnitClaim& unit = std::get<UnitClaim>(claimed);
        return std::pair{unit.unit.value_or(0), unit.valuesRow.value_or(0)};
    };

    QCOMPARE(taken(claim("0012 6f 3a 0001", true)), std::pair(1, 1));
    QCOMPARE(taken(claim("0012 6f 3a 0002", true)), std::pair(2, 2));
    QCOMPARE(taken(claim("0012 6f 3a 0001", true)), std::pair(1, 1));
    // A module that runs out of values refuses its whole transaction: nothing is taken.
    const QList<ClaimResult> both =
        ClaimUnits(connection, {{"0012 6f 3a 0003", "bench-2", true, "units.csv", keys, {}},
                                {"0012 6f 3a 0004", "bench-2", true, "", {}, {}}});
    QVERIFY(std::get<ClaimRefusal>(both[1]).valuesUsedUp);
    QVERIFY(std::get<ClaimRefusal>(both[0]).message.contains("units.csv"));
    QCOMPARE(taken(claim("0012 6f 3a 0005", false)), std::pair(3, 0));
}

void ProductionRecordTest::recordInTheBenchRolesOwnSchemaOpensAgain() {
#ifdef CORDELO_SCRATCH_POSTGRES
    const QString name = QStringLiteral("record%1").arg(++m_databases);
    if (!m_serverRuns || !m_server.createDatabase(name))
        QSKIP("no PostgreSQL server");
    const auto target = std::get<RecordTarget>(ParseRecordTarget(m_server.url(name)));
    {
        // As on PostgreSQL 15, where public is not writable: a schema of the role's own first.
        RecordConnection setUp(target);
        QCOMPARE(setUp.open(), std::nullopt);
        QSqlQuery query(setUp.database());
        QVERIFY(query.exec("CREATE SCHEMA bench") &&
                query.exec(QStringLiteral("ALTER DATABASE %1 SET search_path = bench").arg(name)));
    }
    for (int run = 1; run <= 2; ++run) {
        RecordConnection connection(target);
        QCOMPARE(PrepareSchema(connection), std::nullopt);
        QCOMPARE(CheckSchema(connection), std::nullopt);
    }
#else
    QSKIP("no PostgreSQL server on this system");
#endif
}

void ProductionRecordTest::newerLayoutIsRefusedAndLeftAlone() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    QVERIFY(QSqlQuery(connection.database()).exec("UPDATE record_schema SET version = 99"));

    const std::optional<QString> refusal = PrepareSchema(connection);

    QVERIFY(refusal && refusal->contains("version 99"));
    QVERIFY(CheckSchema(connection));
    QSqlQuery version(connection.database());
    QVERIFY(version.exec("SELECT version FROM record_schema") && version.next());
    QCOMPARE(version.value(0).toInt(), 99);
}

void ProductionRecordTest::spooledRowsReachTheRecordOnce() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    RecordSpool spool(m_dir.filePath(QStringLiteral("spool%1").arg(m_databases)));
    RecordRow written = NewRow();
    written.deviceAddress = "0012 6f 3a 0001";
    written.result = "ok";
    written.acknowledged = SettingsText{{"name", "Unit, \"7\""}, {"pin", "0420"}};
    written.unit = 7;
    RecordRow elsewhere = NewRow();
    // The end of a row that a crash cut short: the next row must not be glued to it.
    QFile torn(spool.path());
    QVERIFY(torn.open(QIODevice::WriteOnly) && torn.write("{\"row_id\":\"7f3") > 0);
    torn.close();
    QCOMPARE(spool.keep(target.key, written), std::nullopt);
    QCOMPARE(spool.keep(QStringLiteral("/another/record.db"), elsewhere), std::nullopt);
    // Already in the record once, as when the spool could not be rewritten after a replay.
    QCOMPARE(InsertRows(connection, {written}), std::nullopt);

    const auto replayed = std::get<RecordSpool::Replayed>(spool.replay(connection));
    QCOMPARE(replayed.stored, 1);
    QCOMPARE(replayed.torn, 1);
    QCOMPARE(std::get<RecordSpool::Replayed>(spool.replay(connection)).stored, 0);
    QVERIFY(torn.open(QIODevice::ReadOnly) && torn.readAll().contains(elsewhere.rowId.toUtf8()));
    QFile setAside(spool.tornPath());
    QVERIFY(setAside.open(QIODevice::ReadOnly) && setAside.readAll() == "{\"row_id\":\"7f3\n");

    const auto rows = std::get<QList<RecordRow>>(ListRows(connection, {}));
    QCOMPARE(rows.size(), 1);
    written.time = rows.first().time;
    QCOMPARE(rows.first(), written);
}

void ProductionRecordTest::olderLayoutIsReadThenUpgradedInPlace() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    RecordRow before = NewRow();
    before.deviceAddress = "0012 6f 3a 0001";
    before.result = "ok";
    QCOMPARE(InsertRows(connection, {before}), std::nullopt);
    // Back to the second layout, as a record a bench of the last release left.
    QSqlQuery query(connection.database());
    for (const char* statement :
         {"DROP INDEX module_records_address_key", "DROP INDEX module_records_written",
          "DROP INDEX module_records_bench_time", "DROP INDEX module_records_unit",
          "DROP INDEX module_records_result", "DROP INDEX values_given_list",
          "DROP TABLE values_lists", "ALTER TABLE module_records DROP COLUMN address_key",
          "ALTER TABLE module_records DROP COLUMN message", "UPDATE record_schema SET version = 2"})
        QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));

    const auto asItWas = ListRows(connection, {});
    const auto summedAsItWas = SummariseRecord(connection, {});
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    RecordRow after = NewRow();
    after.deviceAddress = "0012:6F:3A:0001";
    after.result = "mismatch";
    after.message = "name: wanted \"B\"";
    QCOMPARE(InsertRows(connection, {after}), std::nullopt);

    QCOMPARE(std::get<QList<RecordRow>>(asItWas).size(), 1);
    QVERIFY(std::holds_alternative<RecordSummary>(summedAsItWas));
    RecordFilter latest;
    latest.latest = true;
    const auto rows = std::get<QList<RecordRow>>(ListRows(connection, latest));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().message, after.message);
    QVERIFY(query.exec("SELECT version FROM record_schema") && query.next());
    QCOMPARE(query.value(0).toInt(), kSchemaVersion);
}

QTEST_GUILESS_MAIN(ProductionRecordTest)
#include "tst_production_record.moc"
