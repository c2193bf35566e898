// cordelo-cli on the real serial port against virtual modules: cloning, the exit status
// of each failure, input that is refused before anything is sent, and awkward names.
#include "cli_run.h"

#include "platform/qt_settings_store.h"
#include "virtual_module/virtual_module.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

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

// What a write can change, with what only the module knows left out.
virtual_module::ModuleSettings Writable(virtual_module::ModuleSettings settings) {
    settings.ownAddress.clear();
    settings.field9.clear();
    settings.firmware.clear();
    return settings;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cloneCopiesEverySetting();
    void failuresExitWithTheirStatus_data();
    void failuresExitWithTheirStatus();
    void refusedInputSendsNothing_data();
    void refusedInputSendsNothing();
    void awkwardNamesRoundTrip_data();
    void awkwardNamesRoundTrip();
    void modulesRunAtOnceAndTheWorstStatusWins();
    void valueTooLongAfterFillingFailsThatModuleOnly();
    void interruptionStopsBeforeTheWrite();
    void recordHoldsOnlyWhatWasAcknowledged();

private:
    QString writeFile(const QString& name, const QByteArray& text);

    QTemporaryDir m_dir;
};

void CliTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    // COMn would be looked up in the user's settings: keep the tests out of them.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

QString CliTest::writeFile(const QString& name, const QByteArray& text) {
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    return file.fileName();
}

void CliTest::cloneCopiesEverySetting() {
    VirtualModule::Options options;
    options.settings.name = "Unit-7";
    options.settings.pin = "0420";
    options.settings.baud = "19200";
    options.settings.stopBits = "2";
    options.settings.parity = "E";
    options.settings.master = true;
    options.settings.connectAddress = "0012 6f 3a 9b01";
    options.settings.discoverable = false;
    options.settings.pinRequested = false;
    VirtualModule source(options);
    VirtualModule target;
    QVERIFY2(source.start() && target.start(), source.errorText().c_str());

    const Run read = RunCli({"read", "--port", Device(source)});
    QCOMPARE(read.status, 0);
    const QString unit = writeFile("unit.ini", read.out.toUtf8());
    const QString trace = m_dir.filePath("clone.trace");
    const Run write = RunCli({"write", "--port", Device(target), unit, "--trace", trace});

    QCOMPARE(write.status, 0);
    QCOMPARE(Writable(target.settings()), Writable(source.settings()));
    QFile traced(trace);
    QVERIFY(traced.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(traced.readAll());
    QVERIFY2(lines.contains(Device(target) + "  sent     <NAME=Unit-7>\n"), qPrintable(lines));
    QVERIFY2(lines.contains(Device(target) + "  received [OK]\n"), qPrintable(lines));
}

void CliTest::failuresExitWithTheirStatus_data() {
    QTest::addColumn<virtual_module::Faults>("faults");
    QTest::addColumn<std::string>("firmware");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("complaint");
    QTest::addColumn<std::string>("lastCommand");

    virtual_module::Faults noAckForBaud;
    noAckForBaud.noReplyTo = "BAUD";
    QTest::newRow("baud not acknowledged")
        << noAckForBaud << std::string("v2.0") << QStringList{"write", "--set", "name=Bench"} << 5
        << "baud was not acknowledged (command 3 of 8); nothing after it was sent"
        << std::string("<BAUD=9600>");
    virtual_module::Faults forgetsName;
    forgetsName.forget = "NAME";
    QTest::newRow("name acknowledged, not stored")
        << forgetsName << std::string("v2.0") << QStringList{"write", "--set", "name=Bench"} << 6
        << "name differs: wanted \"Bench\", found \"Cordelo-BT\"" << std::string("<QUERY>");
    QTest::newRow("unsupported firmware")
        << virtual_module::Faults{} << std::string("v1.0") << QStringList{"read"} << 4
        << "unsupported firmware \"v1.0\"" << std::string("<VERS>");
    // Nothing a module sends may drive the terminal.
    QTest::newRow("firmware with an escape character")
        << virtual_module::Faults{} << std::string("\x1bv20") << QStringList{"read"} << 4
        << "unsupported firmware \"\\x1bv20\"" << std::string("<VERS>");
}

void CliTest::failuresExitWithTheirStatus() {
    QFETCH(virtual_module::Faults, faults);
    QFETCH(std::string, firmware);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, complaint);
    QFETCH(std::string, lastCommand);
    VirtualModule::Options options;
    options.faults = faults;
    options.settings.firmware = firmware;
    VirtualModule module(options);
    QVERIFY(module.start());

    const Run run = RunCli(arguments << "--port" << Device(module));

    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(module.waitUntilLineIdle(1s));
    QCOMPARE(module.receivedCommands().back(), lastCommand);
}

void CliTest::refusedInputSendsNothing_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QStringList>("sets");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("baud not in the list")
        << QByteArray("[Module]\nname=A\nbaud=300\n") << QStringList() << "line 3: baud: ";
    QTest::newRow("unknown key") << QByteArray("[Module]\ncolour=red\n") << QStringList()
                                 << "line 2: colour: ";
    QTest::newRow("address the window refuses")
        << QByteArray("[Module]\naddress=12g4 56 78 9abc\n") << QStringList() << "address: ";
    QTest::newRow("name too long in --set")
        << QByteArray() << QStringList{"name=Fifteen-chars-x"} << "--set name: ";
    QTest::newRow("--set without a value") << QByteArray() << QStringList{"pin"} << "--set pin";
    QTest::newRow("unit number without a record")
        << QByteArray("[Module]\nname=Unit-{unit}\n") << QStringList() << "{unit} needs --record";
}

void CliTest::refusedInputSendsNothing() {
    QFETCH(QByteArray, profile);
    QFETCH(QStringList, sets);
    QFETCH(QString, complaint);
    VirtualModule module;
    QVERIFY(module.start());
    QStringList arguments{"write", "--port", Device(module), "--json"};
    if (!profile.isEmpty())
        arguments << writeFile("bad.ini", profile);
    for (const QString& set : sets)
        arguments << "--set" << set;

    const Run run = RunCli(arguments);

    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
    QVERIFY2(run.out.contains("\"result\":\"usage\""), qPrintable(run.out));
    QVERIFY(!module.waitForCommand(1, 100ms));
}

void CliTest::awkwardNamesRoundTrip_data() {
    QTest::addColumn<std::string>("name");
    QTest::addColumn<std::string>("pin");

    QTest::newRow("blanks at the ends") << std::string("  two  ") << std::string(" 12 ");
    QTest::newRow("comment and key signs") << std::string("a;b#c=d") << std::string("#;=");
    QTest::newRow("comma, quotes") << std::string("a,b \"q\" 'r'") << std::string("1,2");
    QTest::newRow("backslashes") << std::string("C:\\x\\") << std::string("\\\\");
    QTest::newRow("non-ASCII") << std::string("Caf\xe9-\xdf") << std::string("\xb5");
}

void CliTest::awkwardNamesRoundTrip() {
    QFETCH(std::string, name);
    QFETCH(std::string, pin);
    VirtualModule::Options options;
    options.settings.name = name;
    options.settings.pin = pin;
    VirtualModule source(options);
    VirtualModule target;
    QVERIFY(source.start() && target.start());

    const Run read = RunCli({"read", "--port", Device(source)});
    const Run write =
        RunCli({"write", "--port", Device(target), writeFile("awkward.ini", read.out.toUtf8())});

    QCOMPARE(write.status, 0);
    QCOMPARE(target.settings().name, name);
    QCOMPARE(target.settings().pin, pin);
}

void CliTest::modulesRunAtOnceAndTheWorstStatusWins() {
    VirtualModule::Options silent;
    silent.faults.silent = true;
    VirtualModule::Options refusing;
    refusing.faults.noReplyTo = "PKEY";
    VirtualModule good;
    VirtualModule quiet(silent);
    VirtualModule refuses(refusing);
    VirtualModule alsoGood;
    platform::QtSettingsStore settings;
    const std::pair<const char*, VirtualModule*> ports[] = {
        {"COM9", &good}, {"COM2", &quiet}, {"COM4", &refuses}, {"COM12", &alsoGood}};
    QStringList arguments{"write",  "--set", "name=U{n}-{com}-{addr4}", "--first", "5",
                          "--json", "--log", m_dir.filePath("run.csv")};
    for (const auto& [port, module] : ports) {
        QVERIFY(module->start());
        settings.setValue("Ports", port, Device(*module));
        arguments << "--port" << port;
    }

    const Run run = RunCli(arguments);

    QCOMPARE(run.status, 5);
    QCOMPARE(good.settings().name, std::string("U7-9-9b01"));
    QCOMPARE(alsoGood.settings().name, std::string("U8-12-9b01"));
    // Scripts read stdout as one JSON object per module and nothing else.
    const QStringList objects = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(objects.size(), 4);
    for (const QString& object : objects)
        QVERIFY2(QJsonDocument::fromJson(object.toUtf8()).isObject(), qPrintable(object));
    QCOMPARE(run.out.count("\"result\":\"ok\""), 2);
    QVERIFY(run.out.contains("\"port\":\"COM2\",\"result\":\"no_reply\""));
    QFile log(m_dir.filePath("run.csv"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5); // the header line and one per module
    QVERIFY(lines.filter(",COM4,").constFirst().contains(",not_acknowledged,5,"));
}

void CliTest::valueTooLongAfterFillingFailsThatModuleOnly() {
    VirtualModule ninth;
    VirtualModule tenth;
    QVERIFY(ninth.start() && tenth.start());

    // Fourteen characters for the ninth module, fifteen for the tenth.
    const Run run = RunCli({"write", "--port", Device(ninth), "--port", Device(tenth), "--set",
                            "name=Sensors-{n}-{addr4}", "--first", "9"});

    QCOMPARE(run.status, 1);
    QCOMPARE(ninth.settings().name, std::string("Sensors-9-9b01"));
    QVERIFY2(run.err.contains(Device(tenth) + ": --set name: "), qPrintable(run.err));
    QCOMPARE(tenth.receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>", "<QUERY>"}));
}

void CliTest::interruptionStopsBeforeTheWrite() {
    std::atomic<bool> interrupted{false};
    VirtualModule::Options options;
    options.log = [&interrupted](const virtual_module::LogEntry& entry) {
        if (entry.text == "received <QUERY>")
            interrupted = true;
    };
    VirtualModule module(options);
    QVERIFY(module.start());

    const Run run =
        RunCli({"write", "--port", Device(module), "--set", "name=Late", "--json"}, &interrupted);

    QCOMPARE(run.status, 130);
    QVERIFY(run.out.contains("\"result\":\"interrupted\""));
    QVERIFY(module.waitUntilLineIdle(1s));
    QCOMPARE(module.receivedCommands().back(), std::string("<QUERY>"));
}

void CliTest::recordHoldsOnlyWhatWasAcknowledged() {
    VirtualModule::Options options;
    options.faults.noReplyTo = "BAUD";
    options.settings.name = "Bench,7";
    VirtualModule module(options);
    QVERIFY(module.start());
    const QString logPath = m_dir.filePath("acknowledged.csv");

    const Run run = RunCli(
        {"write", "--port", Device(module), "--set", "name=New", "--json", "--log", logPath});

    QCOMPARE(run.status, 5);
    const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(object["written"].toVariant().toStringList(), (QStringList{"name", "pin"}));
    QCOMPARE(object["failed"].toVariant().toStringList(), QStringList{"baud"});
    // What the module held when last read, not what the write meant to send.
    QCOMPARE(object["settings"].toObject()["name"].toString(), QString("Bench,7"));
    QCOMPARE(object["settings"].toObject().size(), 9);
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("time,port,device,"), qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(",not_acknowledged,5,name pin,baud,\"Bench,7\","),
             qPrintable(lines[1]));
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
