// The record itself on each database: a module keeps its number and values row in any
// spelling of its address, the values list runs out without burning a number, a newer layout
// is left alone, spooled rows (label rows too) reach the record once while other runs keep
// theirs, and no text
// a module sends holds up another row.
#include "production_record/record_listing.h"
#include "production_record/record_schema.h"
#include "production_record/record_spool.h"
#include "production_record/record_summary.h"
#include "production_record/failure_reason.h"
#include "production_record/record_filter.h"
#include "production_record/nice_scale.h"
#include "production_record/unit_claim.h"
#include "production_record/unit_history.h"
#include "production_record/values_lists_left.h"

#ifdef CORDELO_SCRATCH_POSTGRES
#include "scratch_postgres.h"
#endif

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>

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
    void summaryCountsUnitsOnTheirFirstWrite_data();
    void summaryCountsUnitsOnTheirFirstWrite();
    void reasonLeavesOutWhatDiffers_data();
    void reasonLeavesOutWhatDiffers();
    void axisTicksAreRound_data();
    void axisTicksAreRound();
    void valuesListIsKnownByItsNameAndRows_data() { databases(); }
    void valuesListIsKnownByItsNameAndRows();
    void rowKeptWhileAnotherRunReplaysIsNotLost();
    void everyProgramKeepsARecordsRowsInOneSpool();
    void unitIsFoundByItsCode_data();
    void unitIsFoundByItsCode();

private:
    void databases();
    // The record of a line whose truth is known (below), one per database.
    RecordTarget lineRecord(bool postgres);
    QMap<bool, RecordTarget> m_lines;
    // Two units with reads, writes and a label (below), one per database.
    RecordTarget unitsRecord(bool postgres);
    QMap<bool, RecordTarget> m_units;
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
    const QDateTime printedAt = QDateTime::currentDateTimeUtc();
    const LabelRow label{AddressKey(written.deviceAddress),
                         7,
                         printedAt,
                         "bench-1",
                         "default",
                         "/labels/unit-7.pdf",
                         true,
                         {},
                         false};
    const LabelRow reprint{
        label.addressKey,       7,   printedAt.addSecs(60), "bench-1", "default", "", false,
        "no printer \"Zebra\"", true};
    const QString another = QStringLiteral("/another/record.db");
    // The end of a row that a crash cut short: the next row must not be glued to it.
    QFile torn(spool.path());
    QVERIFY(torn.open(QIODevice::WriteOnly) && torn.write("{\"row_id\":\"7f3") > 0);
    torn.close();
    for (const QString& key : {target.key, another}) {
        QCOMPARE(spool.keep(key, key == another ? elsewhere : written), std::nullopt);
        QCOMPARE(spool.keep(key, label), std::nullopt);
    }
    QCOMPARE(spool.keep(target.key, reprint), std::nullopt);
    // A line this program knows no row in, as one of a later version.
    const QByteArray foreign = "{\"target\":\"" + target.key.toUtf8() + "\",\"kind\":\"later\"}\n";
    QVERIFY(torn.open(QIODevice::Append) && torn.write(foreign) > 0);
    torn.close();
    // Already in the record once, as when the spool could not be rewritten after a replay.
    QCOMPARE(InsertRows(connection, {written}), std::nullopt);
    QCOMPARE(AddLabelRow(connection, label), std::nullopt);
    QCOMPARE(spool.waiting(target.key), 3);

    const auto replayed = std::get<RecordSpool::Replayed>(spool.replay(connection));
    QCOMPARE(replayed.stored, 3);
    QCOMPARE(replayed.torn, 2);
    QCOMPARE(std::get<RecordSpool::Replayed>(spool.replay(connection)).stored, 0);
    QCOMPARE(spool.waiting(another), 2);
    QVERIFY(torn.open(QIODevice::ReadOnly) && torn.readAll().contains(elsewhere.rowId.toUtf8()));
    QFile setAside(spool.tornPath());
    QVERIFY(setAside.open(QIODevice::ReadOnly) &&
            setAside.readAll() == "{\"row_id\":\"7f3\n" + foreign);

    const auto rows = std::get<QList<RecordRow>>(ListRows(connection, {}));
    QCOMPARE(rows.size(), 1);
    written.time = rows.first().time;
    QCOMPARE(rows.first(), written);
    const auto labels = LabelRowsOf(connection, label.addressKey, kSchemaVersion);
    QCOMPARE(std::get<QList<LabelRow>>(labels), (QList<LabelRow>{label, reprint}));
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
    before.result = "mismatch";
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
          "ALTER TABLE values_given DROP COLUMN claimed_by", "DROP TABLE values_files",
          "DROP TABLE values_contents", "DROP TABLE labels",
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
    // Its failures are reasons without a message.
    QCOMPARE(std::get<RecordSummary>(summedAsItWas).line.reasons.size(), 1);
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
    // The upgraded record keeps labels, a label that was not printed with its reason.
    const LabelRow label{"00126f3a0001", 4,   after.time, "b", "default", {}, false,
                         "no printer",   true};
    QCOMPARE(AddLabelRow(connection, label), std::nullopt);
    const auto found = FindUnit(connection, "0012 6F 3A 0001");
    const auto& history = std::get<std::optional<UnitHistory>>(found);
    QVERIFY(history);
    QCOMPARE(history->labels, QList<LabelRow>{label});
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
    QCOMPARE(std::pair(days.first().units, days.first().passed()), std::pair(1, 1));
    QCOMPARE(days.first().notWritten.refused, 1);
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

// Two benches over a local midnight: A1 fails on bench 1 and passes on bench 2 the next day,
// A2 fails at 23:50 and passes at 00:10, A3 passes, A4 is cut short twice (and read after),
// A5 fails twice the same way, A8's bench is killed; beside them a clone, no module, bad
// firmware, a record that failed and a module stopped before its write.
struct LineRow {
    const char* bench;
    const char* time;
    const char* command;
    const char* address;
    const char* result;
    bool acknowledged;
    const char* message;
};
const LineRow kLine[] = {
    {"b1", "2026-12-01T10:00:00", "write", "0012 6f 3a 0001", "mismatch", true,
     R"(name: wanted "Tür, \"2\"", found "A")"},
    {"b2", "2026-12-02T09:00:00", "write", "0012 6F 3A 0001", "ok", true, ""},
    {"b1", "2026-12-01T23:50:00", "write", "0012 6f 3a 0002", "not_acknowledged", false,
     "pin was not acknowledged (command 2 of 8); nothing after it was sent"},
    {"b1", "2026-12-02T00:10:00", "write", "0012 6f 3a 0002", "ok", true, ""},
    {"b2", "2026-12-01T11:00:00", "write", "0012 6f 3a 0003", "ok", true, ""},
    {"b2", "2026-12-01T11:30:00", "write", "0012 6f 3a 0004", "interrupted", true,
     "interrupted after 4 of 8 settings were written and acknowledged; nothing after them was "
     "sent"},
    {"b2", "2026-12-01T11:40:00", "write", "0012 6f 3a 0004", "interrupted", true,
     "interrupted after 5 of 8 settings were written and acknowledged; nothing after them was "
     "sent"},
    {"b2", "2026-12-01T11:50:00", "read", "0012 6f 3a 0004", "ok", false, ""},
    {"b2", "2026-12-01T12:00:00", "write", "0012 6f 3a 0003", "refused", false, "clone"},
    {"b1", "2026-12-01T12:00:00", "write", "", "no_reply", false, "no module answered"},
    {"b1", "2026-12-01T12:05:00", "write", "", "bad_firmware", false, "unsupported firmware"},
    {"b1", "2026-12-01T13:00:00", "write", "0012 6f 3a 0007", "record_failed", false, "locked"},
    {"b1", "2026-12-02T08:00:00", "write", "0012 6f 3a 0005", "mismatch", true,
     R"(name: wanted "B", found "x")"},
    {"b1", "2026-12-02T08:10:00", "write", "0012 6f 3a 0005", "mismatch", true,
     R"(name: wanted "B", found "y")"},
    {"b2", "2026-12-02T10:00:00", "write", "0012 6f 3a 0006", "interrupted", false, "interrupted"},
    // Begun before its write, and never completed: the bench was killed.
    {"b2", "2026-12-02T11:00:00", "write", "0012 6f 3a 0008", "interrupted", false, ""},
};

RecordTarget ProductionRecordTest::lineRecord(bool postgres) {
    if (m_lines.contains(postgres))
        return m_lines.value(postgres);
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        return target;
    RecordConnection connection(target);
    if (PrepareSchema(connection))
        return {};
    QList<RecordRow> rows;
    for (const LineRow& line : kLine) {
        RecordRow row = NewRow();
        row.bench = line.bench;
        row.time = QDateTime::fromString(line.time, Qt::ISODate);
        row.command = line.command;
        row.deviceAddress = line.address;
        row.result = line.result;
        if (line.acknowledged)
            row.acknowledged = SettingsText{{"name", "U"}};
        row.message = QString::fromUtf8(line.message);
        rows << row;
    }
    if (InsertRows(connection, rows))
        return {};
    m_lines.insert(postgres, target);
    return target;
}

void ProductionRecordTest::summaryCountsUnitsOnTheirFirstWrite_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("bench");
    QTest::addColumn<QString>("since");
    QTest::addColumn<QString>("until");
    // Bench, day: units/first pass/passed later/still failing, not written as refused/no
    // module/bad firmware/record failed/stopped, and the reasons with their units.
    QTest::addColumn<QStringList>("days");
    const QStringList all{"b1 2026-12-01 2/0/2/0 0/1/1/1/0 mismatch 1, not_acknowledged 1",
                          "b2 2026-12-01 2/1/0/1 1/0/0/0/0 interrupted 1",
                          "b1 2026-12-02 1/0/0/1 0/0/0/0/0 mismatch 1",
                          "b2 2026-12-02 1/0/0/1 0/0/0/0/1 interrupted 1",
                          "line 6/1/2/3 1/1/1/1/1 interrupted 1, interrupted 1, mismatch 2, "
                          "not_acknowledged 1"};
    for (const bool postgres : {false, true}) {
        const char* database = postgres ? "postgresql" : "sqlite";
        QTest::addRow("%s, everything", database) << postgres << ""
                                                  << ""
                                                  << "" << all;
        QTest::addRow("%s, a bench", database)
            << postgres << "b2"
            << ""
            << ""
            << QStringList{all[1], all[3], "line 3/1/0/2 1/0/0/0/1 interrupted 1, interrupted 1"};
        QTest::addRow("%s, since a day", database)
            << postgres << ""
            << "2026-12-02T00:00:00"
            << ""
            << QStringList{all[2], all[3], "line 2/0/0/2 0/0/0/0/1 interrupted 1, mismatch 1"};
        QTest::addRow("%s, until a day", database)
            << postgres << ""
            << ""
            << "2026-12-01T23:59:59"
            << QStringList{"b1 2026-12-01 2/0/0/2 0/1/1/1/0 mismatch 1, not_acknowledged 1", all[1],
                           "line 4/1/0/3 1/1/1/1/0 interrupted 1, mismatch 1, not_acknowledged "
                           "1"};
    }
}

void ProductionRecordTest::summaryCountsUnitsOnTheirFirstWrite() {
    QFETCH(bool, postgres);
    QFETCH(QString, bench);
    QFETCH(QString, since);
    QFETCH(QString, until);
    const RecordTarget target = lineRecord(postgres);
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    RecordFilter filter;
    filter.bench = bench;
    filter.since = QDateTime::fromString(since, Qt::ISODate);
    filter.until = QDateTime::fromString(until, Qt::ISODate);

    const auto summed = SummariseRecord(connection, filter);

    const auto* error = std::get_if<QString>(&summed);
    QVERIFY2(!error, qPrintable(error ? *error : QString()));
    const RecordSummary& summary = std::get<RecordSummary>(summed);
    QStringList days;
    const auto lineOf = [](const QString& name, const BenchDay& day) {
        const NotWritten& none = day.notWritten;
        QString line = QStringLiteral("%1 %2/%3/%4/%5 %6/%7/%8/%9/%10")
                           .arg(name)
                           .arg(day.units)
                           .arg(day.firstPass)
                           .arg(day.passedLater)
                           .arg(day.stillFailing)
                           .arg(none.refused)
                           .arg(none.noModule)
                           .arg(none.badFirmware)
                           .arg(none.recordFailed)
                           .arg(none.stopped);
        QStringList reasons;
        for (const FailureReason& reason : day.reasons)
            reasons << QStringLiteral("%1 %2").arg(reason.result).arg(reason.units);
        reasons.sort();
        return reasons.isEmpty() ? line : line + ' ' + reasons.join(", ");
    };
    for (const BenchDay& day : summary.days)
        days << lineOf(day.bench + ' ' + day.day.toString(Qt::ISODate), day);
    days << lineOf("line", summary.line);
    QTEST(days, "days");
    // The same failure of two units is one reason, whatever their values.
    if (bench.isEmpty() && since.isEmpty() && until.isEmpty())
        QCOMPARE(summary.line.reasons.first().message,
                 QString("name: wanted \"\u2026\", found \"\u2026\""));
}

void ProductionRecordTest::reasonLeavesOutWhatDiffers_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason");
    QTest::newRow("quotes in a value") << R"(name: wanted "Tür, \"2\"", found "A\\")"
                                       << "name: wanted \"\u2026\", found \"\u2026\"";
    QTest::newRow("how far a write got") << "interrupted after 6 of 8 settings were written"
                                         << "interrupted after \u2026 of 8 settings were written";
    QTest::newRow("the command that failed") << "pin was not acknowledged (command 2 of 8)"
                                             << "pin was not acknowledged (command 2 of 8)";
}

void ProductionRecordTest::reasonLeavesOutWhatDiffers() {
    QFETCH(QString, message);
    QTEST(ReasonOf(message), "reason");
}

void ProductionRecordTest::axisTicksAreRound_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QList<double>>("ticks");
    QTest::newRow("few units") << 0.0 << 3.0 << true << QList<double>{0, 1, 2, 3};
    QTest::newRow("many units") << 0.0 << 37.0 << true << QList<double>{0, 10, 20, 30, 40};
    QTest::newRow("yield") << 83.0 << 100.0 << false << QList<double>{80, 85, 90, 95, 100};
    QTest::newRow("close yields") << 90.0 << 100.0 << false
                                  << QList<double>{90, 92, 94, 96, 98, 100};
}

void ProductionRecordTest::axisTicksAreRound() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(bool, whole);
    QTEST(NiceScaleOf(low, high, 5, whole).ticks(), "ticks");
}

void ProductionRecordTest::valuesListIsKnownByItsNameAndRows() {
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target);
    QCOMPARE(PrepareSchema(connection), std::nullopt);
    const QStringList pins{"pin=1", "pin=2", "pin=3", "pin=4", "pin=5"};
    int module = 0;
    const auto take = [&](const QString& list, const QString& folder, const QStringList& keys) {
        ClaimRequest request{QStringLiteral("0012 6f 3a %1").arg(++module, 4, 10, QChar('0')),
                             "b",
                             false,
                             list,
                             keys,
                             {},
                             folder};
        return std::holds_alternative<UnitClaim>(ClaimUnits(connection, {request}).first());
    };
    for (int unit = 0; unit < 3; ++unit)
        QVERIFY(take("serials.csv", "/line/a", pins));
    // A copy under another name, sorted otherwise, gives the row after them.
    QVERIFY(take("copy.csv", "/line/a", {pins[4], pins[3], pins[2], pins[1], pins[0]}));
    // Another list of the same name, in another folder.
    QVERIFY(take("serials.csv", "/line/b", {"name=X", "name=Y"}));

    const auto listed = ListValuesLeft(connection);

    QStringList lists;
    for (const ValuesListLeft& list : std::get<QList<ValuesListLeft>>(listed))
        lists << QStringLiteral("%1 %2/%3/%4")
                     .arg(list.list)
                     .arg(list.rows.value_or(-1))
                     .arg(list.given)
                     .arg(list.left().value_or(-1));
    QCOMPARE(lists, (QStringList{"copy.csv 5/4/1", "serials.csv in /line/a 5/4/1",
                                 "serials.csv in /line/b 2/1/1"}));
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

RecordTarget ProductionRecordTest::unitsRecord(bool postgres) {
    if (m_units.contains(postgres))
        return m_units.value(postgres);
    const RecordTarget target = freshTarget();
    if (target.database.isEmpty())
        return target;
    RecordConnection connection(target);
    if (PrepareSchema(connection))
        return {};
    const auto row = [](const char* time, const char* command, const char* address,
                        const char* result, std::optional<int> unit, const char* name) {
        RecordRow made = NewRow();
        made.time = QDateTime::fromString(time, Qt::ISODate);
        made.bench = "b";
        made.command = command;
        made.deviceAddress = address;
        made.result = result;
        made.unit = unit;
        made.before = SettingsText{{"name", "Old"}, {"pin", "1234"}};
        if (name != nullptr)
            made.acknowledged = SettingsText{{"name", name}};
        return made;
    };
    const QList<RecordRow> rows = {
        row("2026-03-01T08:00:00Z", "read", "0012 6f 3a 9b01", "ok", {}, nullptr),
        row("2026-03-01T08:01:00Z", "write", "0012 6f 3a 9b01", "mismatch", 7, "Unit-7"),
        row("2026-03-01T08:02:00Z", "write", "0012:6F:3A:9B:02", "ok", 8, "Unit-8"),
        row("2026-03-01T08:03:00Z", "write", "0012 6F 3A 9B01", "ok", 7, "Unit-7"),
        row("2026-03-01T08:04:00Z", "write", "0012 6f 3a 9b01", "timeout", 7, "Later"),
    };
    const auto failed = InsertRows(connection, rows);
    const auto labelFailed =
        failed ? failed
               : AddLabelRow(
                     connection,
                     {"00126f3a9b01", 7, rows[3].time, "b", "default", "7.pdf", true, {}, false});
    if (failed || labelFailed) {
        qWarning("%s", qPrintable(failed.value_or(labelFailed.value_or(QString()))));
        return {};
    }
    m_units.insert(postgres, target);
    return target;
}

void ProductionRecordTest::unitIsFoundByItsCode_data() {
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<QString>("code");
    // 0 for no such unit.
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("labels");
    QList<bool> databases = {false};
#ifdef CORDELO_SCRATCH_POSTGRES
    databases << true;
#endif
    for (const bool postgres : databases) {
        const auto name = [postgres](const char* what) {
            return QByteArray(postgres ? "postgresql: " : "sqlite: ") + what;
        };
        // Its name is what its latest write left it, even one that failed.
        QTest::newRow(name("spaced")) << postgres << "0012 6f 3a 9b01" << 7 << 4 << "Later" << 1;
        QTest::newRow(name("colons")) << postgres << "00:12:6F:3A:9B:01" << 7 << 4 << "Later" << 1;
        QTest::newRow(name("bare, scanned"))
            << postgres << "00126f3a9b01\r" << 7 << 4 << "Later" << 1;
        QTest::newRow(name("unit number")) << postgres << "7" << 7 << 4 << "Later" << 1;
        QTest::newRow(name("unit, spaced")) << postgres << "unit 7" << 7 << 4 << "Later" << 1;
        QTest::newRow(name("unit, dashed")) << postgres << "Unit-8" << 8 << 1 << "Unit-8" << 0;
        QTest::newRow(name("unknown unit")) << postgres << "9" << 0 << 0 << "" << 0;
        QTest::newRow(name("unknown address"))
            << postgres << "0012 6f 3a 9b09" << 0 << 0 << "" << 0;
    }
}

void ProductionRecordTest::unitIsFoundByItsCode() {
    QFETCH(bool, postgres);
    QFETCH(QString, code);
    QFETCH(int, unit);
    QFETCH(int, rows);
    QFETCH(QString, name);
    QFETCH(int, labels);
    const RecordTarget target = unitsRecord(postgres);
    if (target.database.isEmpty())
        QSKIP("no PostgreSQL server");
    RecordConnection connection(target, RecordConnection::Mode::ReadOnly);
    const FoundUnit found = FindUnit(connection, code);
    if (const auto* error = std::get_if<QString>(&found))
        QFAIL(qPrintable(*error));
    const auto& history = std::get<std::optional<UnitHistory>>(found);
    QCOMPARE(history.has_value(), unit != 0);
    if (!history)
        return;
    QCOMPARE(history->unit, std::optional<int>(unit));
    QCOMPARE(history->name, name);
    QCOMPARE(history->rows.size(), rows);
    QVERIFY(std::is_sorted(history->rows.cbegin(), history->rows.cend(),
                           [](const RecordRow& a, const RecordRow& b) { return a.time < b.time; }));
    // Its label comes from its latest passing write, not from the failed one after it.
    const auto passed = LatestPassingWrite(*history);
    QVERIFY(passed);
    QCOMPARE(SettingsAfter(*passed).value("name"), QString("Unit-%1").arg(unit));
    QCOMPARE(history->labels.size(), labels);
    if (labels > 0)
        QCOMPARE(history->labels.first().where, QString("7.pdf"));
}

QTEST_GUILESS_MAIN(ProductionRecordTest)
#include "tst_production_record.moc"
