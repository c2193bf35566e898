// The life of a station slot on simulated ports: a module put in is provisioned, stays passed
// until taken out, is not written again when put back, and a failure, a record that cannot be
// used and a stop in the middle of a write each end as an operator needs them to.
#include "station/line_tally.h"
#include "station/production_line.h"

#include "platform/process_end.h"
#include "production_record/record_connection.h"
#include "production_record/record_listing.h"
#include "production_record/record_spool.h"
#include "production_record/record_target.h"
#include "production_record/unit_history.h"
#include "virtual_module/simulated_modules.h"

#ifdef CORDELO_SCRATCH_POSTGRES
#include "scratch_postgres.h"
#endif
#include "label_decoding.h"
#include "test_shard.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using station::SlotPhase;
using station::SlotState;

namespace {

constexpr int kWait = 10'000;

class ProductionLineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void passedModuleWaitsToBeTakenOutAndIsNotWrittenTwice();
    void swappedModuleIsProvisioned();
    void moduleIsComparedWithItsUnitAndWrittenOnlyWhenItDiffers();
    void againKeepsTheModulesNumberWithoutARecord();
    void moduleThatGivesNoSettingsFailsInWords();
    void valuesListUsedUpStopsTheLineBeforeAWrite();
    void failedModuleSaysWhyAndIsTriedAgainWhenPutBack();
    void unusableRecordStopsTheLineBeforeAnyWrite();
    void stopDuringAWriteKeepsTheRowWithinFiveSeconds();
    void moduleCutShortKeepsItsCueUntilWrittenWhole();
    void twoSlotsWithOneAddressWriteOnlyOne_data();
    void twoSlotsWithOneAddressWriteOnlyOne();
    void rowSpooledByAnotherProgramIsStoredWhileTheLineRuns();
    void stopEndsWithinFiveSecondsWhenTheServerHangs();
    void lineKeepsItsDayAndTheJobsOrderAcrossStopAndStart();
    void passedModuleTellsItsLabel_data();
    void passedModuleTellsItsLabel();
    void tallyCountsUnitsByTheirLatestOutcome_data();
    void tallyCountsUnitsByTheirLatestOutcome();

private:
    production_run::Job job(const QString& record = {}) const;
    SlotState slot(int index) const { return m_line->slotStates().at(index); }
    QList<production_record::RecordRow> rows(const QString& record);
    QString writeFile(const QString& name, const QByteArray& content);
    // Waits until slot `index` shows a step of the write, as the line tells it.
    bool waitForWriting(int index);

    QTemporaryDir m_dir;
    std::unique_ptr<virtual_module::SimulatedModules> m_modules;
    std::unique_ptr<station::ProductionLine> m_line;
};

void ProductionLineTest::initTestCase() {
    // The spools of the tests stay out of the user's.
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
}

void ProductionLineTest::init() {
    m_line.reset();
    m_modules = std::make_unique<virtual_module::SimulatedModules>(2);
    // Every slot starts empty, as a line does in the morning.
    for (int port = 1; port <= m_modules->count(); ++port)
        m_modules->module(port).setPresent(false);
    m_line = std::make_unique<station::ProductionLine>(*m_modules);
}

production_run::Job ProductionLineTest::job(const QString& record) const {
    production_run::Job job;
    job.verb = production_run::Verb::Write;
    job.ports = QStringList{"COM1", "COM2"};
    job.sets = QStringList{record.isEmpty() ? "name=Line-{n}" : "name=Unit-{unit}"};
    job.recordTarget = record;
    job.bench = QStringLiteral("station-test");
    return job;
}

QList<production_record::RecordRow> ProductionLineTest::rows(const QString& record) {
    const auto target = std::get<production_record::RecordTarget>(
        production_record::ParseRecordTarget(m_dir.filePath(record)));
    production_record::RecordConnection connection(target);
    const auto listed = production_record::ListRows(connection, {});
    return std::get<QList<production_record::RecordRow>>(listed);
}

QString ProductionLineTest::writeFile(const QString& name, const QByteArray& content) {
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return file.fileName();
}

bool ProductionLineTest::waitForWriting(int index) {
    QSignalSpy changed(m_line.get(), &station::ProductionLine::slotChanged);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kWait) {
        for (const QList<QVariant>& signal : std::as_const(changed)) {
            if (signal.at(0).toInt() == index &&
                signal.at(1).value<SlotState>().detail.startsWith("writing"))
                return true;
        }
        changed.wait(100);
    }
    return false;
}

void ProductionLineTest::passedModuleWaitsToBeTakenOutAndIsNotWrittenTwice() {
    QVERIFY(!m_line->start(job(m_dir.filePath("line.db"))));
    virtual_module::SimulatedModule& module = m_modules->module(1);
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QCOMPARE(slot(0).unit, std::optional<int>(1));
    QCOMPARE(slot(0).name, QStringLiteral("Unit-1"));
    QCOMPARE(module.settings().name, std::string("Unit-1"));
    QCOMPARE(slot(1).phase, SlotPhase::Waiting);

    module.setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Waiting, kWait);
    // Put back, it shows as passed again without a write; Again writes it once more.
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QCOMPARE(slot(0).unit, std::optional<int>(1));
    QCOMPARE(m_line->figures().passed, 1);
    m_line->again(0);
    QTRY_COMPARE_WITH_TIMEOUT(m_line->recentUnits().size(), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QCOMPARE(slot(0).unit, std::optional<int>(1));
    // Written twice, it is still one unit.
    QCOMPARE(m_line->figures().passed, 1);
    m_line->stop();
    QCOMPARE(m_line->figures().firstPassYield, std::optional<double>(1.0));
    QCOMPARE(rows("line.db").size(), 2);
}

void ProductionLineTest::swappedModuleIsProvisioned() {
    QVERIFY(!m_line->start(job()));
    virtual_module::SimulatedModule& module = m_modules->module(1);
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    const QString first = slot(0).deviceAddress;
    module.setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Waiting, kWait);
    module.replace(virtual_module::NthSimulatedModule(7));
    QTRY_COMPARE_WITH_TIMEOUT(m_line->figures().passed, 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QVERIFY(slot(0).deviceAddress != first);
    QCOMPARE(m_line->recentUnits().size(), 2);
    QCOMPARE(m_line->recentUnits().first().deviceAddress, slot(0).deviceAddress);

    // Another module in its place at once, with no silence between them, is seen all the same.
    const QString second = slot(0).deviceAddress;
    module.replace(virtual_module::NthSimulatedModule(8));
    QTRY_COMPARE_WITH_TIMEOUT(m_line->recentUnits().size(), 3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QVERIFY(slot(0).deviceAddress != second);
    QVERIFY(module.settings().name.starts_with("Line-"));
}

void ProductionLineTest::moduleIsComparedWithItsUnitAndWrittenOnlyWhenItDiffers() {
    const QString record = m_dir.filePath("again.db");
    QVERIFY(!m_line->start(job(record)));
    virtual_module::SimulatedModule& module = m_modules->module(1);
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QCOMPARE(rows("again.db").size(), 1);

    // The line forgets nothing at Stop: the record and the module say it is done.
    m_line->stop();
    QVERIFY(!m_line->start(job(record)));
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QVERIFY2(slot(0).detail.startsWith("Provisioned before"), qPrintable(slot(0).detail));
    QCOMPARE(slot(0).unit, std::optional<int>(1));

    // On another slot, with its settings changed meanwhile: written again as the same unit.
    virtual_module::ModuleSettings changed = module.settings();
    changed.name = "Renamed";
    module.setPresent(false);
    m_modules->module(2).replace(changed);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    QVERIFY2(!slot(1).detail.startsWith("Provisioned before"), qPrintable(slot(1).detail));
    QCOMPARE(slot(1).unit, std::optional<int>(1));
    QCOMPARE(m_modules->module(2).settings().name, std::string("Unit-1"));

    // Again writes a module that needs nothing, and it stays the same unit.
    m_line->again(1);
    QTRY_COMPARE_WITH_TIMEOUT(rows("again.db").size(), 3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    m_line->stop();
    for (const production_record::RecordRow& row : rows("again.db")) {
        QCOMPARE(row.result, QStringLiteral("ok"));
        QCOMPARE(row.unit, std::optional<int>(1));
    }
}

void ProductionLineTest::againKeepsTheModulesNumberWithoutARecord() {
    QVERIFY(!m_line->start(job()));
    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    const std::string name = m_modules->module(2).settings().name;
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    m_line->again(1);
    QTRY_COMPARE_WITH_TIMEOUT(m_line->recentUnits().size(), 3, kWait);
    QCOMPARE(m_modules->module(2).settings().name, name);
    QVERIFY(m_modules->module(1).settings().name != name);
}

void ProductionLineTest::moduleThatGivesNoSettingsFailsInWords() {
    QVERIFY(!m_line->start(job(m_dir.filePath("mute.db"))));
    virtual_module::Faults mute;
    mute.noReplyTo = "QUERY";
    m_modules->module(1).setFaults(mute);
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Failed, kWait);
    QVERIFY2(slot(0).detail.startsWith("answers, but gives no settings"),
             qPrintable(slot(0).detail));
    QCOMPARE(rows("mute.db").size(), 1);
    QCOMPARE(rows("mute.db").first().result, QStringLiteral("no_reply"));
    m_modules->module(1).setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Waiting, kWait);
    QCOMPARE(rows("mute.db").size(), 1);
}

void ProductionLineTest::valuesListUsedUpStopsTheLineBeforeAWrite() {
    production_run::Job empty = job(m_dir.filePath("values.db"));
    empty.valuesPath = writeFile("empty.csv", "pin\n");
    QVERIFY(m_line->start(empty).value_or(QString()).contains("has no rows"));

    production_run::Job one = empty;
    one.valuesPath = writeFile("one.csv", "pin\n4321\n");
    QSignalSpy warned(m_line.get(), &station::ProductionLine::lineWarned);
    QSignalSpy stopped(m_line.get(), &station::ProductionLine::lineStopped);
    QVERIFY(!m_line->start(one));
    QTRY_COMPARE_WITH_TIMEOUT(warned.size(), 1, kWait);
    QVERIFY2(warned.first().first().toString().startsWith("Only 1 row"),
             qPrintable(warned.first().first().toString()));
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, kWait);
    QVERIFY(stopped.first().first().toString().contains("no row left"));
    QCOMPARE(m_modules->module(1).settings().pin, std::string("4321"));
    QCOMPARE(m_line->figures().failed, 0);
}

void ProductionLineTest::failedModuleSaysWhyAndIsTriedAgainWhenPutBack() {
    QVERIFY(!m_line->start(job()));
    virtual_module::SimulatedModule& module = m_modules->module(2);
    virtual_module::Faults forgetful;
    forgetful.forget = "NAME";
    module.setFaults(forgetful);
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Failed, kWait);
    QVERIFY2(slot(1).detail.contains("name: wanted \"Line-"), qPrintable(slot(1).detail));
    QCOMPARE(m_line->recentUnits().first().passed, false);
    QVERIFY(!m_line->recentUnits().first().reason.isEmpty());

    module.setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Waiting, kWait);
    module.setFaults({});
    module.setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    const station::LineFigures figures = m_line->figures();
    // One unit, by its latest outcome; passing at the second try is no first pass.
    QCOMPARE(figures.failed, 0);
    QCOMPARE(figures.passed, 1);
    QCOMPARE(figures.firstPassYield, std::optional<double>(0.0));
}

void ProductionLineTest::unusableRecordStopsTheLineBeforeAnyWrite() {
    // A file that is no database, where the record should be.
    QFile notARecord(m_dir.filePath("notes.db"));
    QVERIFY(notARecord.open(QIODevice::WriteOnly));
    notARecord.write("these are notes, not a production record\n");
    notARecord.close();
    QSignalSpy stopped(m_line.get(), &station::ProductionLine::lineStopped);
    m_modules->module(1).setPresent(true);
    QVERIFY(!m_line->start(job(notARecord.fileName())));
    QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, kWait);
    QVERIFY(!stopped.first().first().toString().isEmpty());
    QVERIFY(!m_line->isRunning());
    QCOMPARE(m_modules->module(1).settings().name, virtual_module::ModuleSettings().name);
}

void ProductionLineTest::stopDuringAWriteKeepsTheRowWithinFiveSeconds() {
    const QString record = m_dir.filePath("stop.db");
    QVERIFY(!m_line->start(job(record)));
    m_modules->module(1).setPresent(true);
    QVERIFY(waitForWriting(0));
    QElapsedTimer stopping;
    stopping.start();
    m_line->stop();
    QVERIFY(stopping.elapsed() < 5000);
    const QList<production_record::RecordRow> kept = rows("stop.db");
    QCOMPARE(kept.size(), 1);
    QVERIFY2(kept.first().result == "interrupted" || kept.first().result == "ok",
             qPrintable(kept.first().result));
    QCOMPARE(kept.first().unit, std::optional<int>(1));
    QCOMPARE(slot(0).phase, SlotPhase::Interrupted);
    m_modules->module(1).setPresent(false);

    // A new station remembers nothing: the record tells it of the write cut short.
    m_line = std::make_unique<station::ProductionLine>(*m_modules);
    QVERIFY(!m_line->start(job(record)));
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Interrupted, kWait);
    QVERIFY2(slot(0).detail.contains("put it in again"), qPrintable(slot(0).detail));
    QCOMPARE(slot(1).phase, SlotPhase::Waiting);
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QCOMPARE(slot(0).unit, std::optional<int>(1));
}

void ProductionLineTest::moduleCutShortKeepsItsCueUntilWrittenWhole() {
    QVERIFY(!m_line->start(job()));
    m_modules->module(1).setPresent(true);
    QVERIFY(waitForWriting(0));
    m_line->stop();
    QCOMPARE(slot(0).phase, SlotPhase::Interrupted);
    QVERIFY2(slot(0).detail.contains("put the module in again"), qPrintable(slot(0).detail));

    // Pulled in the middle of a write: the slot says so after the module has gone.
    QVERIFY(!m_line->start(job()));
    QCOMPARE(slot(0).phase, SlotPhase::Interrupted);
    m_modules->module(2).setPresent(true);
    QVERIFY(waitForWriting(1));
    m_modules->module(2).setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Interrupted, kWait);
    QVERIFY2(slot(1).detail.contains("put it back in"), qPrintable(slot(1).detail));

    // Put back, each is written whole.
    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
}

void ProductionLineTest::twoSlotsWithOneAddressWriteOnlyOne_data() {
    QTest::addColumn<bool>("adapterPulled");
    QTest::newRow("the first taken out") << false;
    // Its module went with the adapter: put in elsewhere, it is that module, not a clone.
    QTest::newRow("the first slot's adapter pulled out") << true;
}

void ProductionLineTest::twoSlotsWithOneAddressWriteOnlyOne() {
    QFETCH(bool, adapterPulled);
    // Clones: the record knows a unit by its address, so the second in is not written.
    m_modules->module(2).replace(virtual_module::NthSimulatedModule(1));
    m_modules->module(2).setPresent(false);
    QVERIFY(!m_line->start(job(m_dir.filePath("clones.db"))));
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Failed, kWait);
    QVERIFY2(slot(1).detail.contains("as the module on COM1 does"), qPrintable(slot(1).detail));
    QCOMPARE(m_modules->module(2).settings().name, virtual_module::ModuleSettings().name);

    // Once the first has gone, the address is free: the other, put back, is written.
    if (adapterPulled) {
        m_modules->module(1).setAdapterPlugged(false);
        QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::PortProblem, kWait);
    } else {
        m_modules->module(1).setPresent(false);
    }
    m_modules->module(2).setPresent(false);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Waiting, kWait);
    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    QCOMPARE(slot(1).unit, std::optional<int>(1));
}

void ProductionLineTest::rowSpooledByAnotherProgramIsStoredWhileTheLineRuns() {
    const QString record = m_dir.filePath("shared.db");
    QVERIFY(!m_line->start(job(record)));
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);
    // As cordelo-cli leaves a row it could not store in the record's spool.
    const auto target =
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(record));
    production_record::RecordSpool spool(production_record::SpoolPath(target));
    production_record::RecordRow fromTheCommandLine = production_record::NewRow();
    QCOMPARE(spool.keep(target.key, fromTheCommandLine), std::nullopt);

    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(spool.waiting(target.key), 0, kWait);
    QVERIFY(m_line->isRunning());
    m_line->stop();
    const auto kept = rows("shared.db");
    QVERIFY(std::any_of(kept.cbegin(), kept.cend(), [&](const production_record::RecordRow& row) {
        return row.rowId == fromTheCommandLine.rowId;
    }));
}

void ProductionLineTest::stopEndsWithinFiveSecondsWhenTheServerHangs() {
#ifdef CORDELO_SCRATCH_POSTGRES
    doubles::ScratchPostgres server;
    if (!server.start() || !server.createDatabase("hang"))
        QSKIP(qPrintable("no PostgreSQL server: " + server.errorText()));
    QFile values(m_dir.filePath("pins.csv"));
    QVERIFY(values.open(QIODevice::WriteOnly) && values.write("pin\n1111\n2222\n3333\n") > 0);
    values.close();
    production_run::Job hanging = job(server.url("hang"));
    hanging.valuesPath = values.fileName();
    QVERIFY(!m_line->start(hanging));
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(0).phase, SlotPhase::Passed, kWait);

    QVERIFY(server.freeze());
    m_modules->module(2).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Working, kWait);
    QElapsedTimer stopping;
    stopping.start();
    m_line->stop();
    QVERIFY2(stopping.elapsed() < 5000, qPrintable(QString::number(stopping.elapsed())));
    const auto target = std::get<production_record::RecordTarget>(
        production_record::ParseRecordTarget(server.url("hang")));
    production_record::RecordSpool spool(production_record::SpoolPath(target));
    QCOMPARE(spool.waiting(target.key), 1);

    // Once the server answers again, the next run stores the row.
    server.thaw();
    QVERIFY(!m_line->start(hanging));
    QTRY_COMPARE_WITH_TIMEOUT(spool.waiting(target.key), 0, kWait);
    m_line->stop();
#else
    QSKIP("no PostgreSQL server to stop answering on this system (POSIX only)");
#endif
}

void ProductionLineTest::lineKeepsItsDayAndTheJobsOrderAcrossStopAndStart() {
    production_run::Job given = job();
    given.ports = QStringList{"COM2", "COM1"};
    QVERIFY(!m_line->start(given));
    QCOMPARE(slot(0).port, QStringLiteral("COM2"));
    m_modules->module(1).setPresent(true);
    QTRY_COMPARE_WITH_TIMEOUT(slot(1).phase, SlotPhase::Passed, kWait);
    m_modules->module(1).setPresent(false);
    m_line->stop();
    QVERIFY(!m_line->start(given));
    QCOMPARE(m_line->figures().passed, 1);
    QCOMPARE(m_line->recentUnits().size(), 1);
    QCOMPARE(slot(1).port, QStringLiteral("COM1"));
}

void ProductionLineTest::passedModuleTellsItsLabel_data() {
    QTest::addColumn<bool>("writable");
    QTest::newRow("label printed") << true;
    QTest::newRow("folder not writable") << false;
}

// The label is drawn beside the slot's watch: the tile tells of it once printed, and a label
// that could not be printed leaves the unit passed.
void ProductionLineTest::passedModuleTellsItsLabel() {
    QFETCH(bool, writable);
    const QString folder = m_dir.filePath(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    production_run::Job labelled = job(folder + "/labels.db");
    labelled.labelTemplate = QStringLiteral("default");
    labelled.labelPdfFolder =
        writable ? folder : writeFile("not-a-folder", "a file where the folder should be");
    QVERIFY(!m_line->start(labelled));
    m_modules->module(1).setPresent(true);
    QTRY_VERIFY_WITH_TIMEOUT(!slot(0).label.isEmpty(), kWait);
    QCOMPARE(slot(0).phase, SlotPhase::Passed);
    const QString unitFile = folder + QStringLiteral("/unit-%1.pdf").arg(*slot(0).unit);
    // The system's own words for why follow the path; they differ between systems.
    const QString told = writable ? "Label printed to " + unitFile
                                  : "LABEL NOT PRINTED: cannot write " + labelled.labelPdfFolder +
                                        "/" + unitFile.section('/', -1) + ": ";
    QVERIFY2(writable ? slot(0).label == told : slot(0).label.startsWith(told),
             qPrintable(slot(0).label));
    QCOMPARE(QFile::exists(unitFile), writable);
    const std::optional<int> unit = slot(0).unit;
    m_line->stop();
    if (!writable || doubles::LabelDecodersMissing())
        return;
    // A scan of the label finds the unit it was printed for.
    const QString code = QString::fromUtf8(doubles::DecodedCode(unitFile, folder));
    production_record::RecordConnection connection(
        std::get<production_record::RecordTarget>(
            production_record::ParseRecordTarget(labelled.recordTarget)),
        production_record::RecordConnection::Mode::ReadOnly);
    const auto found = production_record::FindUnit(connection, code);
    const auto* history = std::get_if<std::optional<production_record::UnitHistory>>(&found);
    QVERIFY2(history && *history, qPrintable(code));
    QCOMPARE((*history)->unit, unit);
}

void ProductionLineTest::tallyCountsUnitsByTheirLatestOutcome_data() {
    QTest::addColumn<QStringList>("tries");
    QTest::addColumn<int>("now");
    QTest::addColumn<int>("passed");
    QTest::addColumn<int>("failed");
    QTest::addColumn<double>("yield");
    QTest::addColumn<double>("perHour");
    // Each try is "address:ok", ":fail", ":refused" (before any write) or ":silent" (no
    // settings given) at a minute of the station's day; an empty address is no known module.
    // `now` is the minute of the figures.
    QTest::newRow("all first time")
        << QStringList{"A:ok@10", "B:ok@20"} << 30 << 2 << 0 << 1.0 << 4.0;
    QTest::newRow("mended is one unit, no first pass")
        << QStringList{"A:fail@1", "A:ok@2", "B:ok@3"} << 60 << 2 << 0 << 0.5 << 2.0;
    QTest::newRow("failed twice is one failure")
        << QStringList{"A:fail@1", "A:fail@2"} << 60 << 0 << 1 << 0.0 << 0.0;
    QTest::newRow("again is one pass")
        << QStringList{"A:ok@1", "A:ok@50"} << 60 << 1 << 0 << 1.0 << 1.0;
    QTest::newRow("spellings are one module")
        << QStringList{"0012 6f 3a 0001:fail@1", "00126F3A0001:ok@2"} << 60 << 1 << 0 << 0.0 << 1.0;
    QTest::newRow("no address, each try new")
        << QStringList{":fail@1", ":ok@2"} << 60 << 1 << 1 << 0.5 << 1.0;
    QTest::newRow("a refusal is no unit's failure")
        << QStringList{"A:ok@1", "A:refused@2"} << 60 << 1 << 0 << 1.0 << 1.0;
    QTest::newRow("a module never written is no unit")
        << QStringList{":silent@1", "A:ok@2"} << 60 << 1 << 0 << 1.0 << 1.0;
    QTest::newRow("the last hour, as it passes")
        << QStringList{"A:ok@10", "B:ok@20"} << 75 << 2 << 0 << 1.0 << 1.0;
    QTest::newRow("the first minute")
        << QStringList{"A:ok@0", "B:ok@1"} << 1 << 2 << 0 << 1.0 << 24.0;
    QTest::newRow("idle for an hour") << QStringList{"A:ok@10"} << 200 << 1 << 0 << 1.0 << 0.0;
}

void ProductionLineTest::tallyCountsUnitsByTheirLatestOutcome() {
    QFETCH(QStringList, tries);
    QFETCH(int, now);
    const auto started = station::LineTally::Clock::now();
    const auto minute = [started](int minutes) { return started + std::chrono::minutes(minutes); };
    station::LineTally tally(started);
    for (const QString& attempt : tries) {
        production_run::ModuleOutcome outcome;
        outcome.deviceAddress = attempt.section(':', 0, 0);
        const QString result = attempt.section(':', 1).section('@', 0, 0);
        outcome.status = result == "ok"        ? production_run::ExitStatus::Done
                         : result == "refused" ? production_run::ExitStatus::Usage
                         : result == "silent"  ? production_run::ExitStatus::NoReply
                                               : production_run::ExitStatus::Mismatch;
        if (result == "ok" || result == "fail")
            outcome.written << QStringLiteral("name");
        outcome.message = result == "ok" ? QString() : QStringLiteral("name differs\nsecond line");
        const station::FinishedUnit unit = tally.count(outcome, QDateTime::currentDateTime(),
                                                       minute(attempt.section('@', 1).toInt()));
        QCOMPARE(unit.reason, result == "ok" ? QString() : QStringLiteral("name differs"));
    }
    const station::LineFigures figures = tally.figures(minute(now));
    QTEST(figures.passed, "passed");
    QTEST(figures.failed, "failed");
    QTEST(*figures.firstPassYield, "yield");
    QTEST(figures.unitsPerHour, "perHour");
}

} // namespace

// As the station's own main: a line's threads are gone before the process ends.
int main(int argc, char** argv) {
    int status = 0;
    {
#ifndef Q_OS_WIN
        // Labels draw their text with Qt's fonts, which need no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        QGuiApplication app(argc, argv);
        ProductionLineTest test;
        status = doubles::ExecShard(&test, argc, argv);
    }
    return platform::EndProcess(status);
}
#include "tst_production_line.moc"
