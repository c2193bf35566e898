// The station's fault drill, short: eight slots, every fault at least once, on an SQLite file
// and on PostgreSQL.
#include "scratch_postgres.h"
#include "station_drill.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class StationDrillsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void lineKeepsItsPromisesThroughFaults_data();
    void lineKeepsItsPromisesThroughFaults();
};

void StationDrillsTest::lineKeepsItsPromisesThroughFaults_data() {
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

void StationDrillsTest::lineKeepsItsPromisesThroughFaults() {
    QFETCH(bool, postgres);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    doubles::ScratchPostgres server;
    drills::StationDrillPlan plan;
    plan.folder = folder.path();
    plan.target = folder.filePath("record.db");
    plan.steps = static_cast<int>(drills::StationFault::ValuesNearlyUsedUp);
    plan.stationProgram = CORDELO_STATION_PROGRAM;
    if (postgres) {
        if (!server.start() || !server.createDatabase("drill"))
            QSKIP(qPrintable("no PostgreSQL server: " + server.errorText()));
        plan.server = &server;
        plan.target = server.url("drill");
    }

    const drills::StationDrillReport report = drills::RunStationDrill(plan);

    for (const QString& failure : report.failures)
        qWarning("%s", qPrintable(failure));
    for (std::size_t kind = 0; kind < drills::kStationFaults; ++kind) {
        const auto fault = static_cast<drills::StationFault>(kind);
        if (fault != drills::StationFault::ServerStalled || postgres)
            QVERIFY2(report.played(fault) > 0, drills::kStationFaultNames[kind]);
    }
    for (std::size_t invariant = 0; invariant < drills::kStationInvariants; ++invariant)
        QVERIFY2(report.checked[invariant] > 0, drills::kStationInvariantNames[invariant]);
    QVERIFY2(report.failures.isEmpty(),
             qPrintable(QString::number(report.failures.size()) + " failures, told above"));
}

QTEST_GUILESS_MAIN(StationDrillsTest)
#include "tst_station_drills.moc"
