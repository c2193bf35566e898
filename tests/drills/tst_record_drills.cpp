// The production record's fault drill, short: three benches, a few modules and three rounds,
// every fault at least once, on an SQLite file and on PostgreSQL.
#include "record_drill.h"
#include "scratch_postgres.h"

#include <QTemporaryDir>
#include <QTest>

using drills::DrillFault;

class RecordDrillsTest : public QObject {
    Q_OBJECT

private slots:
    void recordKeepsItsPromisesThroughFaults_data();
    void recordKeepsItsPromisesThroughFaults();
};

void RecordDrillsTest::recordKeepsItsPromisesThroughFaults_data() {
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

void RecordDrillsTest::recordKeepsItsPromisesThroughFaults() {
    QFETCH(bool, postgres);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    doubles::ScratchPostgres server;
    drills::RecordDrillPlan plan;
    plan.cliProgram = CORDELO_CLI_PROGRAM;
    plan.folder = folder.path();
    plan.target = folder.filePath("record.db");
    if (postgres) {
        if (!server.start() || !server.createDatabase("drill"))
            QSKIP(qPrintable("no PostgreSQL server: " + server.errorText()));
        plan.server = &server;
        plan.target = server.url("drill");
    }

    const drills::RecordDrillReport report = drills::RunRecordDrill(plan);

    for (const QString& failure : report.failures)
        qWarning("%s", qPrintable(failure));
    for (std::size_t kind = 0; kind < drills::kDrillFaults; ++kind) {
        const auto fault = static_cast<DrillFault>(kind);
        if (fault != DrillFault::ServerRestarted || postgres)
            QVERIFY2(report.injected(fault) > 0, drills::kDrillFaultNames[kind]);
    }
    QVERIFY(report.checked > report.modules);
    QVERIFY2(report.failures.isEmpty(),
             qPrintable(QString::number(report.failures.size()) + " failures, told above"));
}

QTEST_GUILESS_MAIN(RecordDrillsTest)
#include "tst_record_drills.moc"
