// The station's window as an operator and a screen reader meet it: tiles that say each state
// in words, the job form and its file with its label and preview, the command line, the
// keyboard, a scan that finds a unit in the record, and a label printed again.
#include "station/job_file.h"
#include "station/line_binding.h"
#include "station/line_summary.h"
#include "station/production_line.h"
#include "station/simulated_slots.h"
#include "station/slot_tile.h"
#include "station/station_command_line.h"
#include "station/station_window.h"

#include "platform/process_end.h"
#include "production_record/record_row.h"
#include "production_record/record_schema.h"
#include "production_record/record_target.h"
#include "virtual_module/simulated_modules.h"

#include <QAccessible>
#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using production_run::Job;
using station::SlotPhase;
using station::SlotState;

namespace {

class RecordingSlots : public station::SimulatedSlots {
public:
    void putInNew(const QString& port) override { asked << QStringLiteral("new ") + port; }
    void takeOut(const QString& port) override { asked << QStringLiteral("out ") + port; }
    void putBack(const QString& port) override { asked << QStringLiteral("back ") + port; }
    void putInFaulty(const QString& port) override { asked << QStringLiteral("faulty ") + port; }
    QStringList asked;
};

const QLabel* LabelSaying(const QWidget& window, const QString& words) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->isVisible() && label->text().contains(words))
            return label;
    }
    return nullptr;
}

SlotState Slot(const QString& port, SlotPhase phase, const QString& detail = {}) {
    SlotState slot;
    slot.port = port;
    slot.phase = phase;
    slot.detail = detail;
    return slot;
}

// A small record with a known truth: unit 7 failed its first write at one bench and passed
// at another; unit 8 is another module.
QString WriteRecord(const QString& path) {
    using production_record::RecordRow;
    const auto target =
        std::get<production_record::RecordTarget>(production_record::ParseRecordTarget(path));
    production_record::RecordConnection connection(target);
    if (const auto refused = production_record::PrepareSchema(connection))
        return *refused;
    const auto row = [](const QString& address, int unit, const QString& bench,
                        const QString& result, const QString& message, int minute) {
        RecordRow made = production_record::NewRow();
        made.time = QDateTime(QDate(2026, 12, 1), QTime(9, minute), Qt::UTC);
        made.bench = bench;
        made.command = QStringLiteral("write");
        made.port = QStringLiteral("COM1");
        made.deviceAddress = address;
        made.result = result;
        made.unit = unit;
        made.message = message;
        made.acknowledged = production_record::SettingsText{{"name", QString("Unit-%1").arg(unit)}};
        return made;
    };
    return production_record::InsertRows(
               connection,
               {row("0012 6f 3a 9b01", 7, "bench-1", "mismatch", "name: wanted Unit-7", 1),
                row("0012 6f 3a 9b02", 8, "bench-1", "ok", {}, 2),
                row("0012 6f 3a 9b01", 7, "bench-2", "ok", {}, 3)})
        .value_or(QString());
}

// A key to whatever has the focus, as the keyboard gives it, once something has it: under Wine a
// window may be without it a moment after a window came or went. False when nothing gets it.
template <typename Key> bool Press(Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }))
        return false;
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    return true;
}

// As a scanner types: each key to whatever has the focus then, and Enter.
bool Scan(const QString& code) {
    return std::all_of(code.begin(), code.end(), [](QChar key) { return Press(key.toLatin1()); }) &&
           Press(Qt::Key_Return);
}

// Tabs from `from` until `target` has the focus: false when the focus chain never reaches it.
bool TabReaches(QWidget* from, QWidget* target) {
    from->setFocus();
    for (int presses = 0; presses < 40; ++presses) {
        if (QApplication::focusWidget() == target)
            return true;
        if (!Press(Qt::Key_Tab))
            return false;
    }
    return false;
}

} // namespace

class StationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The record's spool stays out of the user's.
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    }

    void tileSaysTheStateInWords_data() {
        QTest::addColumn<SlotState>("state");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("again");
        const auto state = [](SlotPhase phase, const QString& detail) {
            SlotState slot = Slot(QStringLiteral("COM2"), phase, detail);
            slot.device = QStringLiteral("/dev/ttyUSB1");
            slot.deviceAddress = QStringLiteral("0012 6f 3a 9b 07");
            return slot;
        };
        SlotState passed = state(SlotPhase::Passed, {});
        passed.unit = 17;
        passed.name = QStringLiteral("<b>Station-17</b>");
        SlotState unnumbered = passed;
        unnumbered.unit.reset();
        QTest::newRow("idle") << state(SlotPhase::Idle, {}) << "Stopped: Start the line" << false;
        QTest::newRow("waiting") << state(SlotPhase::Waiting, {}) << "Waiting: Put a module in"
                                 << false;
        QTest::newRow("working") << state(SlotPhase::Working, QStringLiteral("writing 3 of 9"))
                                 << "Working: writing 3 of 9" << false;
        QTest::newRow("passed") << passed << "Passed: Unit 17, <b>Station-17</b> Take" << true;
        QTest::newRow("passed without a record")
            << unnumbered << "Passed: <b>Station-17</b> Take the module out." << true;
        QTest::newRow("failed") << state(SlotPhase::Failed,
                                         QStringLiteral("name: wanted Station-3, found Cordelo-BT"))
                                << "Failed: name: wanted Station-3, found Cordelo-BT" << false;
        QTest::newRow("port problem")
            << state(SlotPhase::PortProblem, QStringLiteral("COM2 is busy: close the program "
                                                            "that uses it"))
            << "Port problem: COM2 is busy: close the program that uses it" << false;
    }
    void tileSaysTheStateInWords() {
        QFETCH(SlotState, state);
        QFETCH(QString, description);
        QFETCH(bool, again);
        station::SlotTile tile;
        tile.resize(tile.sizeHint());
        tile.showState(state);
        QCOMPARE(tile.accessibleName(), "Slot COM2: " + description.section(u':', 0, 0));
        QVERIFY2(tile.accessibleDescription().startsWith(description),
                 qPrintable(tile.accessibleDescription()));
        QCOMPARE(tile.againButton()->isEnabled(), again);
        QVERIFY(!tile.grab().isNull());
    }

    void everyFieldOfTheJobFormHasItsOwnName() {
        station::JobForm form;
        QStringList names;
        for (QWidget* field : form.findChildren<QWidget*>()) {
            if (field->focusPolicy() == Qt::NoFocus)
                continue;
            const QString name =
                QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), field->metaObject()->className());
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
    }

    void unitListMarksFailuresInWords() {
        station::LineSummary summary;
        const QDateTime at(QDate(2026, 12, 1), QTime(9, 30, 5));
        summary.addUnit(
            {at, QStringLiteral("COM1"), {}, 4, QStringLiteral("Station-4"), true, {}, true});
        summary.addUnit({at,
                         QStringLiteral("COM3"),
                         QStringLiteral("0012 6f 3a 9b 09"),
                         std::nullopt,
                         {},
                         false,
                         QStringLiteral("no reply")});
        summary.showFigures({1, 1, 120.4, 0.5, 37, 2});
        QCOMPARE(summary.unitList()->item(0)->text(),
                 QStringLiteral("FAILED  09:30:05  COM3  0012 6f 3a 9b 09: no reply"));
        QCOMPARE(summary.unitList()->item(1)->text(),
                 QStringLiteral("09:30:05  COM1  Unit 4 · Station-4  passed (its row waits in the "
                                "spool)"));
        QStringList figures;
        for (const QLabel* label : summary.findChildren<QLabel*>()) {
            if (!label->accessibleName().isEmpty())
                figures << label->accessibleName() + u'=' + label->text();
        }
        QCOMPARE(figures.join(u' '),
                 QStringLiteral("Passed=1 Failed=1 Units per hour=120 First-pass yield=50 % Values "
                                "rows left=37 Rows waiting for the record=2"));
    }

    void jobFormRoundTripsThroughAJobFile() {
        QTemporaryDir folder;
        Job job;
        job.verb = production_run::Verb::Write;
        job.profilePath = folder.filePath(QStringLiteral("unit.ini"));
        job.sets = {QStringLiteral("name=Station-{n}"), QStringLiteral("pin={addr4}; x")};
        job.valuesPath = folder.filePath(QStringLiteral("values.csv"));
        job.recordTarget = QStringLiteral("postgresql://line@db.example/units");
        job.bench = QStringLiteral("Bench 2");
        job.ports = {QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0")};
        job.verify = false;
        // A printer this system may not have is kept as the file names it.
        job.labelTemplate = QStringLiteral("default");
        job.labelPrinter = QStringLiteral("Labels on bench 2");
        station::JobForm saved;
        saved.showJob(job);
        const QString path = folder.filePath(QStringLiteral("line.ini"));
        QCOMPARE(saved.saveTo(path), std::nullopt);
        station::JobForm opened;
        QCOMPARE(opened.openFrom(path), std::nullopt);
        const Job read = std::get<Job>(opened.job());
        QCOMPARE(read.profilePath, job.profilePath);
        QCOMPARE(read.sets, job.sets);
        QCOMPARE(read.valuesPath, job.valuesPath);
        QCOMPARE(read.recordTarget, job.recordTarget);
        QCOMPARE(read.bench, job.bench);
        QCOMPARE(read.ports, job.ports);
        QCOMPARE(read.verify, false);
        QCOMPARE(read.labelTemplate, job.labelTemplate);
        QCOMPARE(read.labelPrinter, job.labelPrinter);
        QCOMPARE(read.labelPdfFolder, QString());
    }

    void jobFileReadsPathsBesideItAndRefusesWithTheLine() {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("line.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Job]\nprofile=unit.ini\nports=COM3 slots/slot1 ttyUSB0 /dev/ttyS1\n"
                   "record=line.sqlite\n[Set]\nname=S-{n}\n");
        file.close();
        const Job job = std::get<Job>(station::ReadJobFile(path));
        QCOMPARE(job.profilePath, folder.filePath(QStringLiteral("unit.ini")));
        QCOMPARE(job.recordTarget, folder.filePath(QStringLiteral("line.sqlite")));
        QCOMPARE(job.ports,
                 QStringList({"COM3", folder.filePath("slots/slot1"), "ttyUSB0", "/dev/ttyS1"}));
        QCOMPARE(job.sets, QStringList{QStringLiteral("name=S-{n}")});
        // Saved again, what lies in its folder is kept relative to it, so the folder can move.
        QCOMPARE(station::WriteJobFile(path, job), std::nullopt);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        file.close();
        QVERIFY2(saved.contains("profile=unit.ini\nports=COM3 slots/slot1 ttyUSB0 /dev/ttyS1\n"),
                 saved.constData());

        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Module]\nname=S-1\n");
        file.close();
        QCOMPARE(std::get<QString>(station::ReadJobFile(path)),
                 path + QStringLiteral(": line 1: [Module]: unknown section (the sections of a "
                                       "job file are [Job] and [Set])"));
        // As on the command line, a label goes to one place.
        for (const QByteArray& label :
             {QByteArray("label=default\n"), QByteArray("label=default\nlabel_pdf=l\nprinter=P\n"),
              QByteArray("printer=P\n")}) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Job]\nports=COM1\n" + label);
            file.close();
            QVERIFY2(std::get<QString>(station::ReadJobFile(path)).contains("label"),
                     label.constData());
        }
    }

    void jobFormPreviewsItsLabelOrSaysWhyItIsRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("aspect");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("default") << QString() << 2.0 << QString();
        QTest::newRow("tall template")
            << "[Label]\nwidth=30\nheight=60\n[Code]\nkind=datamatrix\ntext={address}\n"
               "left=2\ntop=2\nwidth=26\nheight=26\n[Text]\nleft=2\ntop=30\nline1={name}\n"
            << 0.5 << QString();
        QTest::newRow("unknown placeholder")
            << "[Label]\nwidth=50\nheight=25\n[Code]\nkind=qr\ntext={adress}\nleft=2\n"
               "top=2\nwidth=21\nheight=21\n"
            << 0.0 << "line 6: text: unknown placeholder {adress}";
    }
    void jobFormPreviewsItsLabelOrSaysWhyItIsRefused() {
        QFETCH(QString, text);
        QFETCH(double, aspect);
        QFETCH(QString, refusal);
        QTemporaryDir folder;
        Job job;
        job.ports = {QStringLiteral("COM1")};
        job.labelTemplate = QStringLiteral("default");
        job.labelPdfFolder = folder.path();
        if (!text.isEmpty()) {
            job.labelTemplate = folder.filePath(QStringLiteral("chosen.label"));
            QFile file(job.labelTemplate);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text.toUtf8());
        }
        station::JobForm form;
        form.showJob(job);
        const station::LabelFields& label = *form.labelFields();
        const auto given = form.job();
        if (refusal.isEmpty()) {
            QVERIFY(std::holds_alternative<Job>(given));
            QVERIFY(!label.preview().isNull());
            QCOMPARE(qRound(10.0 * label.preview().width() / label.preview().height()),
                     qRound(10 * aspect));
            const QPixmap shown = label.previewLabel()->pixmap();
            QCOMPARE(qRound(10.0 * shown.width() / shown.height()), qRound(10 * aspect));
            return;
        }
        // The reason names the file and its line, on the form and where Start is refused.
        QVERIFY(label.preview().isNull());
        QVERIFY2(label.previewLabel()->text().contains(job.labelTemplate + ": " + refusal),
                 qPrintable(label.previewLabel()->text()));
        QVERIFY(std::holds_alternative<QString>(given));
        QVERIFY2(std::get<QString>(given).contains(refusal), qPrintable(std::get<QString>(given)));
    }

    void commandLineBecomesAJob_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char* name, const QString& arguments, const char* outcome) {
            QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << QString(outcome);
        };
        row("nothing: the form", "", "form");
        row("simulated only: the form", "--virtual-module", "form simulated");
        row("a job file", "line.ini", "file line.ini");
        row("write options",
            "unit.ini --port COM2 --port com3 --set name=S-{n} --no-verify --record r.sqlite "
            "--bench B --values v.csv",
            "job unit.ini COM2,COM3 name=S-{n} verify=0 r.sqlite B v.csv");
        row("every port, simulated", "--all --virtual-module --log run.csv",
            "job  all  verify=1    simulated");
        row("no ports", "unit.ini --set name=x", "error give the slots' ports");
        row("an option of the command line only", "--port COM1 --json", "error unknown option");
        row("record on simulated modules", "--port COM1 --virtual-module --record r.sqlite",
            "error --record cannot go with --virtual-module");
        row("ports and all", "--port COM1 --all", "error needs --port or --all, not both");
    }
    void commandLineBecomesAJob() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, outcome);
        arguments.prepend(QStringLiteral("cordelo-station"));
        const station::StationCommandLine parsed = station::ParseStationCommandLine(arguments);
        QString seen;
        if (!parsed.error.isEmpty())
            seen = QStringLiteral("error ") + parsed.error;
        else if (!parsed.jobFile.isEmpty())
            seen = QStringLiteral("file ") + parsed.jobFile;
        else if (!parsed.job)
            seen = QStringLiteral("form");
        else
            seen = QStringLiteral("job %1 %2 %3 verify=%4 %5 %6 %7")
                       .arg(parsed.job->profilePath,
                            parsed.job->all ? QStringLiteral("all") : parsed.job->ports.join(u','),
                            parsed.job->sets.join(u','), QString::number(parsed.job->verify),
                            parsed.job->recordTarget,
                            parsed.job->recordTarget.isEmpty() ? QString() : parsed.job->bench,
                            parsed.job->valuesPath);
        if (parsed.simulatedModules && parsed.error.isEmpty())
            seen += QStringLiteral(" simulated");
        QVERIFY2(seen.startsWith(outcome), qPrintable(seen));
        QCOMPARE(parsed.help, false);
    }

    void keyboardReachesStartStopAndAgain() {
        RecordingSlots simulated;
        station::StationWindow window(&simulated);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.startButton()->setFocus();
        // Under Wine the window may be told it is active before its focus widget is set.
        QTRY_COMPARE(QApplication::focusWidget(), window.startButton());
        QList<Job> started;
        connect(&window, &station::StationWindow::startRequested, this,
                [&started](const Job& job) { started << job; });
        QSignalSpy stopped(&window, &station::StationWindow::stopRequested);
        QSignalSpy again(&window, &station::StationWindow::againRequested);

        QVERIFY(Press(Qt::Key_F5));
        // A button's shortcut clicks it the way a mouse does, a moment later.
        QTRY_VERIFY(LabelSaying(window, QStringLiteral("Ports: give the slots' ports")));
        QVERIFY(started.isEmpty());

        Job job;
        job.ports = {QStringLiteral("COM1"), QStringLiteral("COM2")};
        window.jobForm()->showJob(job);
        QVERIFY(Press(Qt::Key_F5));
        QTRY_COMPARE(started.size(), 1);
        QCOMPARE(started.front().ports, job.ports);

        SlotState passed = Slot(QStringLiteral("COM1"), SlotPhase::Passed);
        passed.unit = 3;
        window.showRunning({passed, Slot(QStringLiteral("COM2"), SlotPhase::Passed)});
        QVERIFY(!window.startButton()->isEnabled());
        QVERIFY(TabReaches(window.stopButton(), window.tiles()[0]));
        QVERIFY(Press(Qt::Key_Tab));
        QTRY_COMPARE(QApplication::focusWidget(), window.tiles()[0]->againButton());
        QVERIFY(Press(Qt::Key_Space));
        QCOMPARE(again.size(), 1);
        QCOMPARE(again.front().front().toInt(), 0);
        // Its Again disabled while it writes, the focus stays on the tile: a second Space
        // writes no other module.
        window.showSlot(0, Slot(QStringLiteral("COM1"), SlotPhase::Working));
        QTRY_COMPARE(QApplication::focusWidget(), window.tiles()[0]);
        QVERIFY(Press(Qt::Key_Space));
        QCOMPARE(again.size(), 1);

        QPushButton* faulty = nullptr;
        for (QPushButton* button : window.findChildren<QPushButton*>()) {
            if (button->accessibleDescription().endsWith(QStringLiteral("COM2: Faulty module")))
                faulty = button;
        }
        QVERIFY(TabReaches(window.tiles()[0], faulty));
        QTest::keyClick(faulty, Qt::Key_Space);
        QCOMPARE(simulated.asked, QStringList{QStringLiteral("faulty COM2")});

        QVERIFY(Press(Qt::Key_F5, Qt::ShiftModifier));
        QTRY_COMPARE(stopped.size(), 1);
        window.showStopped(QStringLiteral("the record cannot be opened: disk full"));
        QVERIFY(window.startButton()->isEnabled());
        const QLabel* message = LabelSaying(window, QStringLiteral("disk full"));
        QVERIFY(message);
        QCOMPARE(message->textFormat(), Qt::PlainText);
    }

    void scanTypedWhereNoFieldTakesItFindsTheUnit_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("code");
        // The unit's rows as bench and result, oldest first; or what the window says.
        QTest::addColumn<QString>("found");
        QTest::newRow("address as a scanner spells it") << "line.db"
                                                        << "start"
                                                        << "00:12:6F:3A:9B:01"
                                                        << "bench-1 mismatch, bench-2 ok";
        QTest::newRow("unit number") << "line.db"
                                     << "start"
                                     << "7"
                                     << "bench-1 mismatch, bench-2 ok";
        QTest::newRow("another unit") << "line.db"
                                      << "start"
                                      << "unit 8"
                                      << "bench-1 ok";
        QTest::newRow("unknown code") << "line.db"
                                      << "start"
                                      << "0099"
                                      << "No unit with the code 0099 in the record.";
        QTest::newRow("no record") << ""
                                   << "start"
                                   << "7"
                                   << "Finding a unit needs a record";
        // Typed into a field, the keys are that field's.
        QTest::newRow("into the bench field") << "line.db"
                                              << "Bench"
                                              << "7"
                                              << "bench=7";
    }
    void scanTypedWhereNoFieldTakesItFindsTheUnit() {
        QFETCH(QString, record);
        QFETCH(QString, focus);
        QFETCH(QString, code);
        QFETCH(QString, found);
        QTemporaryDir folder;
        Job job;
        job.ports = {QStringLiteral("COM1")};
        if (!record.isEmpty()) {
            job.recordTarget = folder.filePath(record);
            QCOMPARE(WriteRecord(job.recordTarget), QString());
        }
        virtual_module::SimulatedModules modules(1);
        station::ProductionLine line(modules);
        station::StationWindow window;
        station::LineBinding binding(line, window, {});
        window.jobForm()->showJob(job);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QLineEdit* bench = nullptr;
        for (QLineEdit* field : window.findChildren<QLineEdit*>()) {
            if (field->accessibleName() == QStringLiteral("Bench"))
                bench = field;
        }
        QWidget* focused = bench;
        if (focus == QStringLiteral("start"))
            focused = window.startButton();
        focused->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focused);

        QVERIFY(Scan(code));
        if (found.startsWith(QStringLiteral("bench="))) {
            QCOMPARE(QStringLiteral("bench=") + bench->text(), found);
            QCOMPARE(window.findField()->text(), QString());
            return;
        }
        QCOMPARE(window.findField()->text(), code);
        const station::UnitHistoryView* history = window.historyView();
        if (!found.startsWith(QStringLiteral("bench"))) {
            QTRY_VERIFY(LabelSaying(window, found));
            QVERIFY(!history->isVisible());
            return;
        }
        QTRY_VERIFY(history->isVisible());
        const QTableWidget* rows = history->rowTable();
        QStringList seen;
        for (int row = 0; row < rows->rowCount(); ++row)
            seen << rows->item(row, 0)->text() + u' ' + rows->item(row, 3)->text();
        QCOMPARE(seen.join(QStringLiteral(", ")), found);
        const bool seven = found.contains(QStringLiteral("mismatch"));
        QCOMPARE(history->history().unit, std::optional<int>(seven ? 7 : 8));
        QVERIFY(LabelSaying(window, seven ? QStringLiteral("Unit 7 · Unit-7")
                                          : QStringLiteral("Unit 8 · Unit-8")));
        QVERIFY(LabelSaying(window, seven ? QStringLiteral("Address 0012 6f 3a 9b01")
                                          : QStringLiteral("Address 0012 6f 3a 9b02")));
        if (seven)
            QCOMPARE(rows->item(0, 4)->text(), QStringLiteral("name: wanted Unit-7"));
        // The next scan replaces this one, though a click took its selection away; one that
        // finds nothing leaves no unit shown.
        QTest::mouseClick(window.findField(), Qt::LeftButton);
        QVERIFY(!window.findField()->hasSelectedText());
        QVERIFY(Scan(QStringLiteral("0099")));
        QCOMPARE(window.findField()->text(), QStringLiteral("0099"));
        QTRY_VERIFY(LabelSaying(window, QStringLiteral("No unit with the code 0099")));
        QVERIFY(!history->isVisible());
        QVERIFY(window.jobForm()->isVisible());
    }

    // A label that could not be printed (its folder is a file) is printed again from the
    // tile's key once the folder is there, and again from the unit's history found by a scan.
    void labelNotPrintedIsPrintedAgainFromTheTileAndTheHistory() {
        QTemporaryDir folder;
        const QString labels = folder.filePath(QStringLiteral("labels"));
        QFile blocking(labels);
        QVERIFY(blocking.open(QIODevice::WriteOnly));
        blocking.close();
        virtual_module::SimulatedModules modules(1);
        station::ProductionLine line(modules);
        station::StationWindow window;
        station::LineBinding binding(line, window, {});
        Job job;
        job.verb = production_run::Verb::Write;
        job.ports = {QStringLiteral("COM1")};
        job.sets = {QStringLiteral("name=Unit-{unit}")};
        job.recordTarget = folder.filePath(QStringLiteral("line.db"));
        job.labelTemplate = QStringLiteral("default");
        job.labelPdfFolder = labels;
        window.jobForm()->showJob(job);
        window.show();
        QVERIFY(binding.start(job));
        station::SlotTile* tile = window.tiles().front();
        QTRY_VERIFY_WITH_TIMEOUT(tile->printAgainButton()->isVisible(), 10'000);
        QVERIFY2(tile->state().label.startsWith(QStringLiteral("LABEL NOT PRINTED: cannot write")),
                 qPrintable(tile->state().label));
        QCOMPARE(tile->state().phase, SlotPhase::Passed);

        QVERIFY(QFile::remove(labels));
        QVERIFY(QDir().mkpath(labels));
        const QString unitFile = labels + QStringLiteral("/unit-1.pdf");
        tile->printAgainButton()->setFocus();
        QTest::keyClick(tile->printAgainButton(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(tile->state().label == "Label printed to " + unitFile, 10'000);
        QVERIFY(QFile::exists(unitFile));
        QVERIFY(!tile->printAgainButton()->isVisible());

        // Found while the line runs, on its record thread, with both labels.
        QVERIFY(QFile::remove(unitFile));
        window.stopButton()->setFocus();
        QVERIFY(Scan(QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(window.historyView()->isVisible(), 10'000);
        QCOMPARE(window.historyView()->history().labels.size(), 2);
        QTest::keyClick(window.historyView()->reprintButton(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(
            LabelSaying(window, QStringLiteral("Label printed again to ") + unitFile), 10'000);
        QVERIFY(QFile::exists(unitFile));
        QCOMPARE(window.historyView()->history().labels.size(), 3);
        QVERIFY(window.historyView()->history().labels.back().reprint);
        line.stop();
    }

    void unitWithoutRecordIsRefusedInTheWindowsWords() {
        virtual_module::SimulatedModules modules(1);
        station::ProductionLine line(modules);
        station::StationWindow window;
        station::LineBinding binding(line, window, {});
        window.show();
        Job job;
        job.verb = production_run::Verb::Write;
        job.ports = {QStringLiteral("COM1")};
        job.sets = {QStringLiteral("name=Unit-{unit}")};
        QVERIFY(!binding.start(job));
        const QLabel* message = LabelSaying(window, QStringLiteral("{unit} needs a record"));
        QVERIFY(message);
        QVERIFY2(!message->text().contains(QStringLiteral("--")), qPrintable(message->text()));
    }

    void unreadableJobFileIsToldAndShownInTheWindow() {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("line.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Module]\nname=S-1\n");
        file.close();
        QProcess station;
        station.start(QStringLiteral(CORDELO_STATION), {path});
        QVERIFY(station.waitForStarted());
        QByteArray told;
        QTRY_VERIFY_WITH_TIMEOUT(
            (told += station.readAllStandardError()).contains("unknown section"), 10'000);
        // The window stays to show it, until it is closed.
        station.terminate();
        QVERIFY(station.waitForFinished(10'000));
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), 0);
    }

private:
    QTemporaryDir m_data;
};

// As the station's own main: it ends without waiting for the threads that read the record.
int main(int argc, char** argv) {
    int status = 0;
    {
        QApplication app(argc, argv);
        app.setAttribute(Qt::AA_Use96Dpi, true);
        StationTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    return platform::EndProcess(status);
}
#include "tst_station.moc"
