// cordelo-cli write with a label, as a script runs it, on the module simulated inside the
// program: the label scans back to the module's address, one that cannot be printed is told
// and leaves the module passed, and a bad template is refused before any module is written.
// With the record (on a virtual module, POSIX): each label is noted (through the spool when the
// record cannot take it), and `label` prints the same label again or previews it.
#include "production_record/record_schema.h"
#include "production_record/unit_history.h"

#include "label_decoding.h"

#ifdef CORDELO_VIRTUAL_MODULE
#include "virtual_module/virtual_module.h"
#endif

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QJsonObject json;
    QString err;
};

Run Cli(const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(CORDELO_CLI_PROGRAM), arguments);
    cli.waitForFinished(30'000);
    return {cli.exitCode(), QJsonDocument::fromJson(cli.readAllStandardOutput()).object(),
            QString::fromUtf8(cli.readAllStandardError())};
}

// `where` is --label-pdf DIR or --printer NAME.
Run WriteWithLabel(
    const QString& label, const QStringList& where,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    return Cli(QStringList{"--virtual-module", "write", "--port", "COM1", "--set",
                           "name=Unit-{addr4}", "--label", label, "--json"} +
                   where,
               environment);
}

QByteArray Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10'000);
    return process.readAllStandardOutput();
}

#ifdef CORDELO_VIRTUAL_MODULE
// The unit as the record knows it; nothing when it does not, or cannot be read.
std::optional<production_record::UnitHistory> Unit(const QString& record, const QString& code) {
    using namespace production_record;
    RecordConnection connection(std::get<RecordTarget>(ParseRecordTarget(record)),
                                RecordConnection::Mode::ReadOnly);
    const FoundUnit found = FindUnit(connection, code);
    const auto* history = std::get_if<std::optional<UnitHistory>>(&found);
    return history ? *history : std::nullopt;
}
#endif

// A CUPS scheduler of the test's own on a socket in `folder`, with one raw queue, "keep", whose
// spool keeps every job it is sent.
class PrivateCups {
public:
    explicit PrivateCups(const QString& folder) : m_folder(folder) {
        for (const char* part : {"spool", "cache", "state", "log", "root"})
            QDir(folder).mkpath(part);
        Write("cupsd.conf", QStringLiteral("Listen %1/cups.sock\nBrowsing No\n"
                                           "PreserveJobFiles Yes\nPreserveJobHistory Yes\n"
                                           "<Location />\nOrder allow,deny\nAllow all\n"
                                           "</Location>\n")
                                .arg(folder));
        Write("cups-files.conf",
              QStringLiteral("FileDevice Yes\nServerRoot %1/root\nRequestRoot %1/spool\n"
                             "CacheDir %1/cache\nStateDir %1/state\nTempDir %1/spool\n"
                             "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                             "PageLog %1/log/page_log\nServerBin /usr/lib/cups\n"
                             "DataDir /usr/share/cups\n")
                  .arg(folder));
        m_environment.insert("CUPS_SERVER", folder + "/cups.sock");
        m_scheduler.start(QStandardPaths::findExecutable("cupsd", {"/usr/sbin", "/sbin"}),
                          {"-f", "-c", folder + "/cupsd.conf", "-s", folder + "/cups-files.conf"});
    }
    ~PrivateCups() {
        m_scheduler.terminate();
        m_scheduler.waitForFinished(5'000);
    }

    // The queue, once the scheduler answers; false when it cannot start here.
    bool addQueue() {
        for (int tries = 0; tries < 50; ++tries) {
            if (Admin("lpadmin", {"-p", "keep", "-E", "-v", "file:///dev/null", "-m", "raw"}))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    bool stopQueue() { return Admin("cupsdisable", {"keep"}); }
    QProcessEnvironment environment() const { return m_environment; }
    // The first job's file as the queue keeps it.
    QString firstJob() const { return m_folder + "/spool/d00001-001"; }

private:
    bool Admin(const char* program, const QStringList& arguments) {
        QProcess admin;
        admin.setProcessEnvironment(m_environment);
        admin.start(QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"}), arguments);
        return admin.waitForFinished(5'000) && admin.exitCode() == 0;
    }

    void Write(const char* name, const QString& text) {
        QFile file(m_folder + '/' + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

    QString m_folder;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QProcess m_scheduler;
};

} // namespace

class CliLabelsTest : public QObject {
    Q_OBJECT

private slots:
    void passedModuleGetsLabelThatScansBack() {
        if (doubles::LabelDecodersMissing())
            QSKIP("pdftoppm, pdftotext or zbarimg is missing: scripts/install-deps.sh installs "
                  "poppler-utils and zbar-tools");
        QTemporaryDir folder;
        const Run run = WriteWithLabel("default", {"--label-pdf", folder.path()});
        QCOMPARE(run.status, 0);
        const QJsonObject label = run.json.value("label").toObject();
        QVERIFY2(label.value("printed").toBool(), qPrintable(run.err));
        const QString file = label.value("file").toString();
        QVERIFY(run.err.contains("label printed to " + file));
        const QByteArray says = doubles::DecodedLabel(file, folder.path());
        QVERIFY(says.startsWith(run.json.value("device_address").toString().toUtf8() + '\n'));
        QVERIFY(
            says.contains(run.json.value("settings").toObject().value("name").toString().toUtf8()));
    }

    void printsThroughASystemQueue_data() {
        QTest::addColumn<bool>("stopped");
        QTest::newRow("queue running") << false;
        QTest::newRow("queue stopped") << true;
    }

    void printsThroughASystemQueue() {
        QFETCH(bool, stopped);
        if (QStandardPaths::findExecutable("cupsd", {"/usr/sbin", "/sbin"}).isEmpty() ||
            QStandardPaths::findExecutable("pdftoppm").isEmpty() ||
            QStandardPaths::findExecutable("zbarimg").isEmpty())
            QSKIP("cupsd, pdftoppm or zbarimg is missing: scripts/install-deps.sh installs "
                  "cups-daemon, cups-client, poppler-utils and zbar-tools");
        QTemporaryDir folder;
        PrivateCups cups(folder.path());
        if (!cups.addQueue())
            QSKIP("a private CUPS scheduler could not start here");
        if (stopped)
            QVERIFY(cups.stopQueue());
        const Run run = WriteWithLabel("default", {"--printer", "keep"}, cups.environment());
        QCOMPARE(run.status, 0);
        const QJsonObject label = run.json.value("label").toObject();
        if (stopped) {
            QCOMPARE(label.value("reason").toString(),
                     "the queue of the printer keep is stopped or in error");
            QVERIFY(run.err.contains("LABEL NOT PRINTED"));
            QVERIFY(!QFile::exists(cups.firstJob()));
            return;
        }
        QCOMPARE(label.value("file").toString(), "keep");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(cups.firstJob()).size() > 0, 10'000);
        Output("pdftoppm",
               {"-r", "300", "-png", "-singlefile", cups.firstJob(), folder.filePath("page")});
        QCOMPARE(Output("zbarimg", {"--raw", "-q", folder.filePath("page.png")}).trimmed(),
                 run.json.value("device_address").toString().toUtf8());
    }

    void labelNotPrintedLeavesModulePassed() {
        QTemporaryDir scratch;
        QFile notAFolder(scratch.filePath("file"));
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        notAFolder.close();
        const Run run = WriteWithLabel("default", {"--label-pdf", notAFolder.fileName()});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.json.value("result").toString(), "ok");
        const QJsonObject label = run.json.value("label").toObject();
        QCOMPARE(label.value("printed").toBool(true), false);
        QVERIFY2(
            label.value("reason").toString().startsWith("cannot write " + notAFolder.fileName()),
            qPrintable(label.value("reason").toString()));
        QVERIFY(run.err.contains("LABEL NOT PRINTED"));
    }

    void reprintIsRefusedInWords_data() {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        // %1 is the record's file.
        QTest::addColumn<QString>("told");
        QTest::newRow("unknown unit") << "line.db" << QStringList{"--unit", "99", "--png", "p.png"}
                                      << 1 << "the record %1 knows no unit 99";
        QTest::newRow("unknown address")
            << "line.db" << QStringList{"--address", "00:12:6F:3A:99:99", "--label-pdf", "."} << 1
            << "the record %1 knows no unit 00:12:6F:3A:99:99";
        QTest::newRow("no unit") << "line.db" << QStringList{"--png", "p.png"} << 1
                                 << "label needs --unit N or --address ADDR, not both";
        QTest::newRow("two places")
            << "line.db" << QStringList{"--unit", "1", "--png", "p.png", "--label-pdf", "."} << 1
            << "label needs one of --label-pdf DIR, --printer NAME";
        QTest::newRow("no record") << "missing.db" << QStringList{"--unit", "1", "--png", "p.png"}
                                   << 7 << "there is no record %1";
    }

    void reprintIsRefusedInWords() {
        QFETCH(QString, record);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir folder;
        production_record::RecordConnection made(std::get<production_record::RecordTarget>(
            production_record::ParseRecordTarget(folder.filePath("line.db"))));
        QCOMPARE(production_record::PrepareSchema(made), std::nullopt);
        const Run run =
            Cli(QStringList{"label", "default", "--record", folder.filePath(record)} + arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(told.replace("%1", folder.filePath(record))),
                 qPrintable(run.err));
    }

#ifdef CORDELO_VIRTUAL_MODULE
    void labelIsNotedAndPrintedAgainAlike() {
        if (doubles::LabelDecodersMissing())
            QSKIP("pdftoppm, pdftotext or zbarimg is missing: scripts/install-deps.sh installs "
                  "poppler-utils and zbar-tools");
        QTemporaryDir folder;
        virtual_module::VirtualModule module;
        QVERIFY(module.start());
        const QString record = folder.filePath("line.db");
        QDir(folder.path()).mkpath("first");
        const Run write = Cli({"write", "--port", QString::fromStdString(module.devicePath()),
                               "--set", "name=Unit-{unit}", "--record", record, "--label",
                               "default", "--label-pdf", folder.filePath("first"), "--json"});
        QCOMPARE(write.status, 0);
        const QString first = write.json.value("label").toObject().value("file").toString();
        const QString address = write.json.value("device_address").toString();
        const auto written = Unit(record, address);
        QVERIFY(written && written->unit);
        QCOMPARE(written->labels.size(), 1);
        QCOMPARE(written->labels[0].where, first);
        QVERIFY(written->labels[0].printed && !written->labels[0].reprint);

        const QString unit = QString::number(*written->unit);
        const Run again = Cli({"label", "default", "--record", record, "--unit", unit,
                               "--label-pdf", folder.path(), "--json"});
        QCOMPARE(again.status, 0);
        const QString second = again.json.value("label").toObject().value("file").toString();
        QCOMPARE(second, folder.filePath("unit-" + unit + ".pdf"));
        const QByteArray firstSays = doubles::DecodedLabel(first, folder.path());
        QVERIFY(firstSays.startsWith(address.toUtf8() + '\n'));
        QCOMPARE(doubles::DecodedLabel(second, folder.path()), firstSays);

        const Run preview =
            Cli({"label", "default", "--record", record, "--address",
                 QString(address).remove(' ').toUpper(), "--png", folder.filePath("preview.png")});
        QCOMPARE(preview.status, 0);
        QCOMPARE(Output("zbarimg", {"--raw", "-q", folder.filePath("preview.png")}).trimmed(),
                 address.toUtf8());
        // The reprint is noted, the preview is not.
        const auto after = Unit(record, unit);
        QVERIFY(after);
        QCOMPARE(after->labels.size(), 2);
        QCOMPARE(after->labels[1].where, second);
        QVERIFY(after->labels[1].printed && after->labels[1].reprint);
    }

    void labelRowWaitsInTheSpoolUntilTheRecordTakesIt() {
        QTemporaryDir folder;
        virtual_module::VirtualModule module;
        QVERIFY(module.start());
        const QString record = folder.filePath("line.db");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", folder.path());
        production_record::RecordConnection made(std::get<production_record::RecordTarget>(
            production_record::ParseRecordTarget(record)));
        QCOMPARE(production_record::PrepareSchema(made), std::nullopt);
        QSqlQuery query(made.database());
        QVERIFY(query.exec("ALTER TABLE labels RENAME TO labels_away"));
        const QString port = QString::fromStdString(module.devicePath());
        const Run write = Cli({"write", "--port", port, "--record", record, "--label", "default",
                               "--label-pdf", folder.path(), "--json"},
                              environment);
        QCOMPARE(write.status, 0);
        // On failure, what the spool's folder holds tells where the row went.
        const QDir spool(folder.filePath("cordelo-cli/record-spool"));
        QVERIFY2(write.err.contains("1 row waits in the spool"),
                 qPrintable(write.err + spool.entryList(QDir::Files | QDir::Hidden).join(' ')));

        QVERIFY(query.exec("ALTER TABLE labels_away RENAME TO labels"));
        const Run read = Cli({"read", "--port", port, "--record", record}, environment);
        QVERIFY2(read.err.contains("wrote 1 row kept") && read.err.contains("0 rows wait"),
                 qPrintable(read.err));
        const auto unit = Unit(record, write.json.value("device_address").toString());
        QVERIFY(unit);
        QCOMPARE(unit->labels.size(), 1);
        QCOMPARE(unit->labels[0].where,
                 write.json.value("label").toObject().value("file").toString());
        QCOMPARE(unit->labels[0].unit, unit->unit);
    }

    void labelNotPrintedIsNotedWithItsReason() {
        QTemporaryDir folder;
        virtual_module::VirtualModule module;
        QVERIFY(module.start());
        const QString record = folder.filePath("line.db");
        const QString notAFolder = folder.filePath("line.db-is-no-folder");
        QFile(notAFolder).open(QIODevice::WriteOnly);
        const Run write =
            Cli({"write", "--port", QString::fromStdString(module.devicePath()), "--record", record,
                 "--label", "default", "--label-pdf", notAFolder, "--json"});
        QCOMPARE(write.status, 0);
        const auto unit = Unit(record, write.json.value("device_address").toString());
        QVERIFY(unit);
        QCOMPARE(production_record::LatestPassingWrite(*unit).has_value(), true);
        QCOMPARE(unit->rows.constLast().result, "ok");
        QCOMPARE(unit->labels.size(), 1);
        QVERIFY(!unit->labels[0].printed && unit->labels[0].where.isEmpty());
        QVERIFY2(unit->labels[0].reason.startsWith("cannot write " + notAFolder),
                 qPrintable(unit->labels[0].reason));
    }
#endif

    void refusedBeforeAnyWrite_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("code too wide for its box")
            << "bad.label" << QString() << "bad.label: line 9: width: the Code 128";
        QTest::newRow("no such printer") << "default"
                                         << "no-such-printer"
                                         << "--printer: no printer named no-such-printer";
    }

    void refusedBeforeAnyWrite() {
        QFETCH(QString, label);
        QFETCH(QString, printer);
        QFETCH(QString, refusal);
        QTemporaryDir folder;
        QFile bad(folder.filePath("bad.label"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("[Label]\nwidth=20\nheight=10\n[Code]\nkind=code128\ntext={address}\n"
                  "left=0\ntop=0\nwidth=20\nheight=10\n");
        bad.close();
        const Run run = WriteWithLabel(label == "default" ? label : bad.fileName(),
                                       printer.isEmpty() ? QStringList{"--label-pdf", folder.path()}
                                                         : QStringList{"--printer", printer});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(refusal), qPrintable(run.err));
        QCOMPARE(run.json.value("written").toArray().size(), 0);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"bad.label"});
    }
};

QTEST_GUILESS_MAIN(CliLabelsTest)
#include "tst_cli_labels.moc"
