// The record itself on each database: a module keeps its number and values row in any
// spelling of its address, the values list runs out without burning a number, a newer layout
// is left alone, spooled rows reach the record once while other runs keep theirs, and no text
// a module sends holds up another row.
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
#include <QThread>

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
    void unwrittenModuleGivesBackItsValuesRow_data() { databases(); }
    void unwrittenModuleGivesBackItsValuesRow();
    void refusedCloneIsNoUnitsFailure_data() { databases(); }
    void refusedCloneIsNoUnitsFailure();
    void moduleTextWithNulHoldsUpNoOtherRow_data() { databases(); }
    void moduleTextWithNulHoldsUpNoOtherRow();
    void rowKeptWhileAnotherRunReplaysIsNotLost();
    void everyProgramKeepsARecordsRowsInOneSpool();

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
    // The same module, as another slot's adapter spells its address.
    QCOMPARE(taken(claim("0012 6F 3A 0001", true)), std::pair(1, 1));
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
    before.command = "write";
    before.deviceAddress = "0012 6f 3a 0001";
    before.result = "ok";
    QCOMPARE(InsertRows(connection, {before}), std::nullopt);
    // Back to the second layout, as a record a bench of the last release left.
    QSqlQuery query(connection.database());
    // One module that an older layout gave two numbers and two rows under two spellings.
    for (const char* statement :
         {"DROP INDEX module_records_address_key", "DROP INDEX module_records_written",
          "DROP INDEX module_records_bench_time", "DROP INDEX module_records_unit",
          "DROP INDEX module_records_result", "DROP INDEX values_given_list",
          "DROP TABLE values_lists", "ALTER TABLE module_records DROP COLUMN address_key",
          "ALTER TABLE module_records DROP COLUMN message", "DROP INDEX values_given_claimed_by",
          "ALTER TABLE values_given DROP COLUMN claimed_by",
          "INSERT INTO unit_numbers VALUES ('0012 6f 3a 0001', 4, 'b', 't'), ('0012 6F 3A 0001', "
          "9, 'b', 't')",
          "INSERT INTO values_given VALUES ('name=A', '0012 6f 3a 0001', 'u.csv', 'b', 't'), "
          "('name=B', '0012 6F 3A 0001', 'u.csv', 'b', 't')",
          "UPDATE record_schema SET version = 2"})
        QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));

    const auto asItWas = ListRows(connection, {});
    const auto summedAsItWas = SummariseRecord(connection, {});
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    RecordRow after = NewRow();
    after.command = "write";
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
    const QList<ClaimResult> claimed = ClaimUnits(
        connection, {{"0012:6F:3A:0001", "b", true, "u.csv", {"name=A", "name=B", "name=C"}, {}}});
    QCOMPARE(std::get<UnitClaim>(claimed.first()).unit, std::optional<int>(4));
    QCOMPARE(std::get<UnitClaim>(claimed.first()).valuesRow, std::optional<int>(1));
}

void ProductionRecordTest::unwrittenModuleGivesBackItsValuesRow() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    const QStringList keys{"pin=1111", "pin=2222"};
    const auto claim = [&](const QString& address, const RecordRow& started) {
        return std::get<UnitClaim>(
            ClaimUnits(connection, {{address, "bench-1", true, "pins.csv", keys, started}})
                .constFirst());
    };
    RecordRow stopped = NewRow();
    stopped.command = "write";
    stopped.deviceAddress = "0012 6f 3a 0001";
    QCOMPARE(claim(stopped.deviceAddress, stopped).valuesRow, std::optional<int>(1));
    // Stopped after its claim and before its first write command.
    stopped.result = "interrupted";
    QCOMPARE(InsertRows(connection, {stopped}), std::nullopt);

    const UnitClaim next = claim("0012 6f 3a 0002", NewRow());
    QCOMPARE(next.valuesRow, std::optional<int>(1));
    // The first module keeps its number: the numbers leave a gap, never a number twice.
    QCOMPARE(next.unit, std::optional<int>(2));
    QCOMPARE(CountGiven(connection, keys), std::optional<int>(1));
}

void ProductionRecordTest::refusedCloneIsNoUnitsFailure() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    RecordRow good = NewRow();
    good.command = "write";
    good.deviceAddress = "0012 6f 3a 0001";
    good.result = "ok";
    good.unit = 1;
    RecordRow clone = NewRow();
    clone.command = "write";
    clone.deviceAddress = good.deviceAddress;
    clone.result = kRefusedResult;
    QCOMPARE(InsertRows(connection, {good, clone}), std::nullopt);

    RecordFilter stillFailing;
    stillFailing.latest = true;
    stillFailing.failed = true;
    QCOMPARE(std::get<QList<RecordRow>>(ListRows(connection, stillFailing)).size(), 0);
    RecordFilter latest;
    latest.latest = true;
    QCOMPARE(std::get<QList<RecordRow>>(ListRows(connection, latest)).value(0).rowId, good.rowId);
    const auto days = std::get<RecordSummary>(SummariseRecord(connection, {})).days;
    QCOMPARE(days.size(), 1);
    QCOMPARE(std::pair(days.first().units, days.first().passed), std::pair(1, 1));
    QVERIFY(days.first().reasons.isEmpty());
}

void ProductionRecordTest::moduleTextWithNulHoldsUpNoOtherRow() {
    QFETCH(bool, postgres);
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    const QString nul = QStringLiteral("v2.0") + QChar(0) + QStringLiteral("x");
    RecordRow odd = NewRow();
    odd.firmware = nul;
    odd.deviceAddress = QStringLiteral("0012 6f 3a") + QChar(0);
    odd.verified = SettingsText{{"name", nul}};
    RecordRow good = NewRow();
    good.deviceAddress = "0012 6f 3a 0002";
    QVERIFY(std::holds_alternative<UnitClaim>(
        ClaimUnits(connection, {{odd.deviceAddress, "b", true, "", {}, {}},
                                {good.deviceAddress, "b", true, "", {}, {}}})
            .first()));
    QCOMPARE(InsertRows(connection, {odd, good}), std::nullopt);
    const auto rows = std::get<QList<RecordRow>>(ListRows(connection, {}));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.first().firmware, QStringLiteral("v2.0\\x00x"));
    QCOMPARE(rows.first().verified->value("name"), nul);

    // A row the record refuses (here by a rule of its own) is set aside; the others are stored.
    QSqlQuery query(connection.database());
    const QStringList refuse =
        postgres
            ? QStringList{"CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN RAISE "
                          "EXCEPTION 'no such bench'; END $$ LANGUAGE plpgsql",
                          "CREATE TRIGGER refuse BEFORE INSERT ON module_records FOR EACH ROW "
                          "WHEN (NEW.bench = 'gone') EXECUTE FUNCTION refuse()"}
            : QStringList{"CREATE TRIGGER refuse BEFORE INSERT ON module_records WHEN "
                          "NEW.bench = 'gone' BEGIN SELECT RAISE(ABORT, 'no such bench'); END"};
    for (const QString& statement : refuse)
        QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
    RecordSpool spool(m_dir.filePath(QStringLiteral("nul-spool%1").arg(m_databases)));
    RecordRow refused = NewRow();
    refused.bench = "gone";
    RecordRow kept = NewRow();
    QCOMPARE(spool.keep(target.key, refused), std::nullopt);
    QCOMPARE(spool.keep(target.key, kept), std::nullopt);

    const auto replayed = std::get<RecordSpool::Replayed>(spool.replay(connection));
    QCOMPARE(std::pair(replayed.stored, replayed.refused), std::pair(1, 1));
    QVERIFY2(replayed.refusal.contains("no such bench"), qPrintable(replayed.refusal));
    QCOMPARE(spool.waiting(target.key), 0);
    QFile setAside(spool.refusedPath());
    QVERIFY(setAside.open(QIODevice::ReadOnly) &&
            setAside.readAll().contains(refused.rowId.toUtf8()));
}

void ProductionRecordTest::rowKeptWhileAnotherRunReplaysIsNotLost() {
#ifdef CORDELO_SCRATCH_POSTGRES
    // PostgreSQL shows the replay waiting for the lock, so the other run steps in just then.
    const QString name = QStringLiteral("record%1").arg(++m_databases);
    if (!m_serverRuns || !m_server.createDatabase(name))
        QSKIP("no PostgreSQL server");
    const auto target = std::get<RecordTarget>(ParseRecordTarget(m_server.url(name)));
    RecordConnection holder(target);
    QCOMPARE(PrepareSchema(holder), std::nullopt);
    const QString path = m_dir.filePath(QStringLiteral("busy-spool%1").arg(m_databases));
    RecordSpool replaying(path);
    QCOMPARE(replaying.keep(target.key, NewRow()), std::nullopt);
    QSqlQuery lock(holder.database());
    QVERIFY(lock.exec("BEGIN") && lock.exec("LOCK TABLE module_records IN EXCLUSIVE MODE"));
    std::variant<RecordSpool::Replayed, QString> replayed;
    std::unique_ptr<QThread> replay(QThread::create([&] {
        RecordConnection connection(target);
        replayed = replaying.replay(connection);
    }));
    replay->start();
    QTRY_VERIFY(lock.exec("SELECT 1 FROM pg_locks WHERE NOT granted") && lock.next());

    RecordSpool finishing(path);
    QCOMPARE(finishing.keep(target.key, NewRow()), std::nullopt);
    QVERIFY(replay->isRunning());
    QVERIFY(lock.exec("ROLLBACK"));
    QVERIFY(replay->wait(30'000));

    QCOMPARE(std::get<RecordSpool::Replayed>(replayed).stored, 1);
    QCOMPARE(finishing.waiting(target.key), 1);
    QCOMPARE(std::get<RecordSpool::Replayed>(finishing.replay(holder)).stored, 1);
    QCOMPARE(std::get<QList<RecordRow>>(ListRows(holder, {})).size(), 2);
#else
    QSKIP("no PostgreSQL server on this system");
#endif
}

void ProductionRecordTest::everyProgramKeepsARecordsRowsInOneSpool() {
    const auto target = std::get<RecordTarget>(ParseRecordTarget(m_dir.filePath("line.db")));
    const QString testName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("cordelo-station");
    const QString station = SpoolPath(target);
    const QStringList former = FormerSpoolPaths({}, target);
    QCoreApplication::setApplicationName("cordelo-cli");
    const QString commandLine = SpoolPath(target);
    QCoreApplication::setApplicationName(testName);
    QCOMPARE(commandLine, station);
    // The spool the station kept of its own before is still replayed.
    QVERIFY(former.contains(QString(station).replace("/cordelo-cli/", "/cordelo-station/")));
}

QTEST_GUILESS_MAIN(ProductionRecordTest)
#include "tst_production_record.moc"
