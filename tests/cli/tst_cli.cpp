// cordelo-cli on the real serial port against virtual modules: cloning, the exit status
// of each failure, input that is refused before anything is sent, and awkward names.
#include "cli_run.h"
#include "since_time.h"

#include "production_run/overlay_source.h"
#include "production_run/values_list.h"

#include "platform/qt_settings_store.h"
#include "scratch_port_tree.h"
#include "test_shard.h"
#include "virtual_module/virtual_module.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace std::chrono_literals;
using virtual_module::VirtualModule;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Ports are looked for in `tree`, never on the machine that runs the tests.
Run RunCli(QStringList arguments, const std::atomic<bool>* interrupted = nullptr,
           const platform::PortTree& tree = doubles::ScratchPortTree().tree()) {
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    cli::Console console{out, err, false, interrupted, 0, tree};
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

// The rows a terminal shows after `bytes`, for the few controls the live lines use.
QStringList Screen(const QString& bytes) {
    QStringList rows;
    qsizetype row = 0;
    qsizetype column = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        while (rows.size() <= row)
            rows << QString();
        if (bytes[i] == '\x1b') {
            const qsizetype end = bytes.indexOf(QRegularExpression("[A-Z]"), i);
            const int count = bytes.mid(i + 2, end - i - 2).toInt();
            if (bytes[end] == 'A') {
                row = std::max<qsizetype>(0, row - count);
            } else if (bytes[end] == 'K') {
                rows[row].clear();
            } else if (bytes[end] == 'J') {
                rows = rows.mid(0, row + 1);
                rows[row].truncate(column);
            }
            i = end;
        } else if (bytes[i] == '\r' || bytes[i] == '\n') {
            row += bytes[i] == '\n';
            column = 0;
        } else {
            rows[row] = rows[row].leftJustified(column).replace(column, 1, bytes[i]);
            ++column;
        }
    }
    return rows;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void init();
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
    void placeholdersInCommentsAreNoUse();
    void commandLineOutsideTheRulesIsRefused_data();
    void commandLineOutsideTheRulesIsRefused();
    void sinceIsALocalDayOrAnInstant_data();
    void sinceIsALocalDayOrAnInstant();
    void valuesListsAreReadAsPeopleSaveThem_data();
    void valuesListsAreReadAsPeopleSaveThem();
    void oneDeviceRunsOnce_data();
    void oneDeviceRunsOnce();
    void jsonOnATerminalStaysWhole();
    void allPassesOverEmptyPorts_data();
    void allPassesOverEmptyPorts();
    void interruptionEndsEveryWait_data();
    void interruptionEndsEveryWait();
    void recordHoldsOnlyWhatWasAcknowledged();
    void moduleValuesOutsideTheRulesAreShownNotSent_data();
    void moduleValuesOutsideTheRulesAreShownNotSent();

private:
    QString writeFile(const QString& name, const QByteArray& text);

    QTemporaryDir m_dir;
};

void CliTest::init() {
    // No test may find the [Ports] lines of another, whose devices may belong to someone else
    // by now: pseudo-terminal numbers are handed out again.
    QFile::remove(platform::QtSettingsStore::location());
}

void CliTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    // COMn would be looked up in the user's settings: keep the tests out of them.
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
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
    // A quote inside a value is escaped, so that the value ends where it should.
    QTest::newRow("name acknowledged, not stored")
        << forgetsName << std::string("v2.0") << QStringList{"write", "--set", "name=Be\"ch"} << 6
        << "name differs: wanted \"Be\\\"ch\", found \"Cordelo-BT\"" << std::string("<QUERY>");
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
    QTest::newRow("bracket in --set")
        << QByteArray() << QStringList{"name=a]b"} << "--set name: may not hold \"]\"";
    QTest::newRow("bracket in the profile")
        << QByteArray("[Module]\npin=<{n}\n") << QStringList() << "line 2: pin: may not hold";
    // Read as the window reads a profile.
    QTest::newRow("Latin-1") << QByteArray("[Module]\nname=Caf\xe9\n") << QStringList()
                             << "line 2: not UTF-8 text (save the file as UTF-8)\n";
    QTest::newRow("Latin-1 in a comment")
        << QByteArray("; caf\xe9\n[Module]\n") << QStringList() << "line 1: not UTF-8 text";
    QTest::newRow("endless") << QByteArray("/dev/zero") << QStringList() << "It is too large";
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
    // A path is read as it stands.
    if (!profile.isEmpty())
        arguments << (profile.startsWith('/') ? QString(profile) : writeFile("bad.ini", profile));
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

void CliTest::placeholdersInCommentsAreNoUse() {
    production_run::OverlaySource overlays;
    const QString profile = writeFile("c.ini", "; {unit}\n[Module] ; {addr4}\nname=A ; {com}\n");

    QCOMPARE(overlays.load(profile, {}), std::nullopt);

    QVERIFY(!overlays.usesUnit());
    // A module with no COM number and no address, before the record gave it a unit.
    QVERIFY(std::holds_alternative<profile::ModuleSettings>(overlays.forUnit({})));
}

void CliTest::commandLineOutsideTheRulesIsRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    const QString range = "the COM ports are COM1 to COM16";
    QTest::newRow("COM17") << QStringList{"read", "--port", "COM17"} << "--port COM17: " + range;
    QTest::newRow("com999") << QStringList{"read", "--port", "com999"} << "--port com999: " + range;
    QTest::newRow("COM0") << QStringList{"reset", "--port", "COM0"} << "--port COM0: " + range;
    QTest::newRow("COM01") << QStringList{"read", "--port", "COM01"} << "--port COM01: " + range;
    const QStringList write{"write",     "--port", "/nowhere", "--port",
                            "/nowhere2", "--set",  "pin={n}"};
    QTest::newRow("--first at the integer limit") << (QStringList(write) << "--first"
                                                                         << "2147483647")
                                                  << "--first needs a whole number";
    QTest::newRow("--first longer than a PIN") << (QStringList(write) << "--first"
                                                                      << "100000000")
                                               << "from 0 to 99999999";
    QTest::newRow("simulated module into the record")
        << QStringList{"read", "--virtual-module", "--all", "--record", m_dir.filePath("s.db")}
        << "--record cannot go with --virtual-module: a simulated module is no production unit";
    QTest::newRow("values lists of a bench")
        << QStringList{"record", m_dir.filePath("s.db"), "--lists", "--bench", "bench-1"}
        << "--lists shows every values list as it stands; it takes no --bench";
    // Questions of the record that no row can answer.
    const QStringList record{"record", m_dir.filePath("s.db")};
    QTest::newRow("until before since") << (QStringList(record) << "--since"
                                                                << "2026-12-02"
                                                                << "--until"
                                                                << "2026-12-01")
                                        << "--until 2026-12-01 is before --since 2026-12-02";
    QTest::newRow("eleven hex digits") << (QStringList(record) << "--address"
                                                               << "0012 6f 3a 020")
                                       << "cannot be a device address";
    QTest::newRow("hex prefix") << (QStringList(record) << "--address"
                                                        << "0x00126f3a0201")
                                << "cannot be a device address";
    QTest::newRow("latest empty port") << (QStringList(record) << "--latest"
                                                               << "--result"
                                                               << "empty")
                                       << "a port where nothing answered (empty) is none";
    QTest::newRow("no bench") << (QStringList(record) << "--bench"
                                                      << "")
                              << "--bench needs the name of a bench";
    QTest::newRow("yield of passing rows") << (QStringList(record) << "--summary"
                                                                   << "--result"
                                                                   << "ok")
                                           << "would show a yield of 100 %";
}

void CliTest::commandLineOutsideTheRulesIsRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    const Run run = RunCli(arguments);

    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
}

void CliTest::sinceIsALocalDayOrAnInstant_data() {
    QTest::addColumn<QString>("since");
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("utc"); // empty when refused

    const QByteArray berlin("Europe/Berlin");
    const QByteArray santiago("America/Santiago"); // skips midnight in spring
    QTest::newRow("a day") << "2026-12-01" << berlin << "2026-11-30T23:00:00Z";
    QTest::newRow("no midnight") << "2026-09-06" << santiago << "2026-09-06T04:00:00Z";
    QTest::newRow("local time") << "2026-12-01T08:00" << berlin << "2026-12-01T07:00:00Z";
    QTest::newRow("skipped time") << "2026-09-06T00:30" << santiago << "";
    QTest::newRow("yesterday") << "yesterday" << QByteArray("UTC")
                               << QDateTime::currentDateTimeUtc().date().addDays(-1).toString(
                                      Qt::ISODate) +
                                      "T00:00:00Z";
}

void CliTest::sinceIsALocalDayOrAnInstant() {
    QFETCH(QString, since);
    QFETCH(QByteArray, zone);
    const QByteArray before = qgetenv("TZ");
    qputenv("TZ", zone);
    ::tzset();
    const auto parsed = cli::ParseSince(since);
    // A local time is turned into UTC when asked, with the zone of that moment.
    const auto* time = std::get_if<QDateTime>(&parsed);
    const QString utc = time ? time->toUTC().toString(Qt::ISODate) : QString();
    before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
    ::tzset();

    QTEST(utc, "utc");
}

void CliTest::valuesListsAreReadAsPeopleSaveThem_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("complaint"); // empty when taken

    QTest::newRow("blanks around the header's names") << QByteArray("name , pin\nA,1\n") << "";
    QTest::newRow("Latin-1") << QByteArray("name\nCaf\xe9\n") << "line 2: not UTF-8 text";
    QTest::newRow("endless") << QByteArray("/dev/zero") << "too large to be a values list";
}

void CliTest::valuesListsAreReadAsPeopleSaveThem() {
    QFETCH(QByteArray, content);
    QFETCH(QString, complaint);
    const QString path = content.startsWith('/') ? QString(content) : writeFile("v.csv", content);

    const QString told = production_run::ValuesList().load(path).value_or(QString());

    QVERIFY2(complaint.isEmpty() ? told.isEmpty() : told.contains(complaint), qPrintable(told));
}

void CliTest::oneDeviceRunsOnce_data() {
    // "@" is the module's device, "#" its by-id link.
    QTest::addColumn<QStringList>("spellings");
    QTest::newRow("COM3, com3") << QStringList{"COM3", "com3"};
    QTest::newRow("COM3 and the path it opens") << QStringList{"@", "COM3"};
    QTest::newRow("path with ..") << QStringList{"@", "/dev/..@"};
    QTest::newRow("by-id link and its target") << QStringList{"#", "@"};
}

void CliTest::oneDeviceRunsOnce() {
    QFETCH(QStringList, spellings);
    VirtualModule module;
    QVERIFY(module.start());
    doubles::ScratchPortTree scratch;
    scratch.addUsbAdapter("ttyUSB0", "usb-A", "FT232R|FTDI|A10K", Device(module));
    platform::QtSettingsStore().setValue("Ports", "COM3", Device(module));
    QStringList arguments{"read", "--json"};
    for (QString spelling : spellings) {
        spelling.replace('@', Device(module)).replace('#', scratch.path("dev/serial/by-id/usb-A"));
        arguments << "--port" << spelling;
    }

    const Run run = RunCli(arguments, nullptr, scratch.tree());
    platform::QtSettingsStore().setValue("Ports", "COM3", {});

    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.count('\n'), 1);
    const std::vector<std::string> received = module.receivedCommands();
    QCOMPARE(std::count(received.begin(), received.end(), std::string("<PING>")), 1);
}

void CliTest::jsonOnATerminalStaysWhole() {
    VirtualModule first;
    VirtualModule second;
    QVERIFY(first.start() && second.start());
    QString terminal;
    QTextStream stream(&terminal);
    constexpr int kColumns = 20;
    cli::Console console{stream, stream, true, nullptr, kColumns, {}};

    const int status = cli::RunCli(
        {"cordelo-cli", "read", "--json", "--port", Device(first), "--port", Device(second)},
        console);

    QCOMPARE(status, 0);
    const QStringList objects = Screen(terminal).filter(QRegularExpression("^\\{"));
    QCOMPARE(objects.size(), 2);
    for (const QString& object : objects)
        QVERIFY2(QJsonDocument::fromJson(object.toUtf8()).isObject(), qPrintable(object));
    // A live line that wrapped would leave the next redraw one row short.
    const QRegularExpression liveLine("\x1b\\[2K([^\n]*)\n");
    for (const QRegularExpressionMatch& line : liveLine.globalMatch(terminal))
        QVERIFY2(line.capturedLength(1) <= kColumns, qPrintable(line.captured(1)));
}

void CliTest::allPassesOverEmptyPorts_data() {
    QTest::addColumn<QStringList>("expect");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told");

    QTest::newRow("an onboard UART with nothing on it") << QStringList() << 0 << "empty";
    QTest::newRow("fewer modules than expected")
        << QStringList{"--expect", "2"} << 3 << "1 modules answered, 2 expected";
}

void CliTest::allPassesOverEmptyPorts() {
    QFETCH(QStringList, expect);
    QFETCH(int, status);
    QFETCH(QString, told);
    VirtualModule::Options silent;
    silent.faults.silent = true;
    VirtualModule module;
    VirtualModule nothing(silent);
    QVERIFY(module.start() && nothing.start());
    doubles::ScratchPortTree scratch;
    scratch.addUsbAdapter("ttyUSB0", "usb-A", "FT232R|FTDI|A10K", Device(module));
    scratch.addUsbAdapter("ttyUSB1", "usb-B", "FT232R|FTDI|A10L", Device(nothing));

    const QString record = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(".db"));

    const Run run = RunCli(QStringList{"read", "--all", "--json", "--record", record} << expect,
                           nullptr, scratch.tree());

    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(told), qPrintable(run.err));
    QCOMPARE(run.out.count("\"result\":\"ok\""), 1);
    QCOMPARE(run.out.count("\"result\":\"empty\""), 1);
    // The record tells what the run told: no false failure for the empty port.
    QCOMPARE(RunCli({"record", record, "--json"}).out.count("\"result\":\"empty\""), 1);
}

void CliTest::interruptionEndsEveryWait_data() {
    // Ctrl-C comes as the module receives `trigger`.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<virtual_module::Faults>("faults");
    QTest::addColumn<std::string>("trigger");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told");

    virtual_module::Faults silent;
    silent.silent = true;
    virtual_module::Faults slowQuery;
    slowQuery.queryDelay = 3s;
    const QStringList write{"write", "--set", "name=Late"};
    QTest::newRow("check of a silent module")
        << QStringList{"read"} << silent << std::string("<PING>") << 130 << "interrupted";
    QTest::newRow("between the tokens of a query")
        << QStringList{"read"} << slowQuery << std::string("<QUERY>") << 130 << "interrupted";
    QTest::newRow("probing a silent port") << QStringList{"ports", "--probe"} << silent
                                           << std::string("<PING>") << 130 << "interrupted";
    QTest::newRow("before the write")
        << write << virtual_module::Faults{} << std::string("<QUERY>") << 130 << "interrupted";
    QTest::newRow("write between two commands")
        << write << virtual_module::Faults{} << std::string("<BAUD=9600>") << 130
        << "after 3 of 8 settings were written and acknowledged";
    QTest::newRow("write complete, not verified")
        << write << virtual_module::Faults{} << std::string("<PIN_ON>") << 130
        << "the write was not verified";
}

void CliTest::interruptionEndsEveryWait() {
    QFETCH(QStringList, arguments);
    QFETCH(virtual_module::Faults, faults);
    QFETCH(std::string, trigger);
    QFETCH(int, status);
    QFETCH(QString, told);
    std::atomic<bool> interrupted{false};
    VirtualModule::Options options;
    options.faults = faults;
    options.log = [&interrupted, trigger](const virtual_module::LogEntry& entry) {
        if (entry.text == "received " + trigger)
            interrupted = true;
    };
    VirtualModule module(options);
    QVERIFY(module.start());
    doubles::ScratchPortTree scratch;
    scratch.addUsbAdapter("ttyUSB0", "usb-A", "FT232R|FTDI|A10K", Device(module));
    if (arguments.constFirst() != "ports")
        arguments << "--port" << Device(module);

    QElapsedTimer clock;
    clock.start();
    const Run run = RunCli(arguments, &interrupted, scratch.tree());

    QCOMPARE(run.status, status);
    QVERIFY2((run.out + run.err).contains(told), qPrintable(run.out + run.err));
    // Well before the five seconds of ten unanswered pings, on a loaded machine too.
    QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    // Nothing more reaches the module after the command the Ctrl-C came in.
    QVERIFY(!module.waitForCommand(module.receivedCount() + 1, 300ms));
    QCOMPARE(module.receivedCommands().back(), trigger);
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

void CliTest::moduleValuesOutsideTheRulesAreShownNotSent_data() {
    QTest::addColumn<std::string>("name");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");

    const std::string longName = "Twenty-three-characters";
    QTest::newRow("read, a name the tool refuses")
        << longName << QStringList{"read"} << 0
        << "; refused by write, change it first: at most 14 characters\nname=" +
               QString::fromStdString(longName);
    QTest::newRow("write, the module's own name")
        << longName << QStringList{"write", "--set", "pin=1"} << 1
        << "the module holds name=\"Twenty-three-characters\", which cannot be written back";
    // The bracket ends the name's token early, and every later field lands one place late.
    QTest::newRow("read, a reply shifted by a bracket")
        << std::string("a]b") << QStringList{"read"} << 3 << "the settings reply is damaged";
    QTest::newRow("{com} for a port given by its path")
        << std::string("Unit") << QStringList{"write", "--set", "pin={com}"} << 1
        << "--set pin: {com} has no value";
}

void CliTest::moduleValuesOutsideTheRulesAreShownNotSent() {
    QFETCH(std::string, name);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    VirtualModule::Options options;
    options.settings.name = name;
    VirtualModule module(options);
    QVERIFY(module.start());

    const Run run = RunCli(arguments << "--port" << Device(module));

    QCOMPARE(run.status, status);
    QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
    QVERIFY(module.waitUntilLineIdle(1s));
    QCOMPARE(module.receivedCommands().back(), std::string("<QUERY>"));
}

CORDELO_TEST_GUILESS_SHARDED_MAIN(CliTest)
#include "tst_cli.moc"
