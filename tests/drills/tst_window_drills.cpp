// Fault drills on the whole tool: the module unplugged in the middle of each kind of
// exchange, a noisy line, and a settings store that is unreadable or holds garbage.
#include "frm_main.h"

#include "platform/qt_settings_store.h"

#include "process_usage.h"
#include "run_as_nobody.h"
#include "tool_on_module.h"
#include "unplug_on_command.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using doubles::kGreenLamp;
using doubles::kRedLamp;
using virtual_module::Faults;
using virtual_module::VirtualModule;

namespace {

// The next keep-alive tick is at most a second away, and its ping gives up after half
// a second more.
constexpr int kKeepAliveVerdictMs = 3000;
constexpr std::chrono::milliseconds kKeepAliveVerdict{kKeepAliveVerdictMs};
const QString kNoPortChosen =
    QStringLiteral("Choose the COM port of the adapter in the list first.");

void TypeInto(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClicks(box, text);
}

// What the window shows after the link was lost on a keep-alive tick; empty when all
// of it holds.
QString NotLostSilently(const doubles::ToolOnModule& tool) {
    const frmMain& window = tool.window;
    if (tool.lamp() != kRedLamp)
        return QStringLiteral("the lamp is not red");
    if (tool.port.isOpen())
        return QStringLiteral("the port is still open");
    if (window.Timer1.isActive())
        return QStringLiteral("the keep-alive still runs");
    if (window.isBusy())
        return QStringLiteral("the window is still busy");
    if (!window.cmdConnect->isEnabled() || !window.cboPort->isEnabled())
        return QStringLiteral("Connect is not offered");
    if (window.cmdWrite->isEnabled() || window.cmdRefresh->isEnabled())
        return QStringLiteral("the module's buttons are still enabled");
    return {};
}

// Runs the window until the keep-alive has turned the lamp red; a lost port that the
// tool keeps polling meanwhile would show as a busy loop.
QString RunUntilKeepAliveGivesUp(const doubles::ToolOnModule& tool) {
    const drills::TimeUsed used =
        drills::RunEventsUntil([&tool] { return tool.lamp() == kRedLamp; }, kKeepAliveVerdict);
    if (tool.lamp() != kRedLamp)
        return QStringLiteral("the lamp is still not red");
    if (!used.isMostlyIdle())
        return QStringLiteral("%1 us of CPU in %2 us").arg(used.cpu.count()).arg(used.wall.count());
    return {};
}

// The tool is still itself: it connects at once to a module plugged in anew.
bool ConnectsTo(doubles::ToolOnModule& tool, VirtualModule& module) {
    if (!module.start())
        return false;
    tool.plugInto(module);
    tool.window.cmdConnect->click();
    return tool.lamp() == kGreenLamp && tool.window.txtName->text() == QStringLiteral("Cordelo-BT");
}

// The tool on the real settings store, which the drills below damage on disk.
struct ToolOnStore {
    ToolOnStore() {
        window.Form_Load();
        window.show();
    }

    platform::QtSettingsStore settings;
    platform::QtSerialPort port{settings};
    doubles::RecordingMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    frmMain window{platform};
};

struct StoreAttempt {
    QByteArray output;
    QString skipReason;
};

// Another process reads the saved port and stores port 5 on the real settings store,
// as the user nobody when asked.
StoreAttempt TryStoringPort(bool asNobody) {
    QProcess helper;
    if (asNobody)
        drills::RunAsNobody(helper);
    helper.start(QStringLiteral(CORDELO_DRILL_HELPER),
                 {QStringLiteral("store"), QStringLiteral("5")});
    if (!helper.waitForStarted(5000))
        return {{}, QStringLiteral("The helper cannot run as this user from this build folder")};
    if (!helper.waitForFinished(10000))
        return {"the helper did not finish", {}};
    if (helper.exitCode() == drills::kCannotSwitchUser)
        return {{}, QStringLiteral("This system does not let the test switch to the user nobody")};
    return {helper.readAllStandardOutput().trimmed(), {}};
}

} // namespace

class WindowDrillsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void moduleUnpluggedDuringKeepAlivePing();
    void moduleUnpluggedDuringQuery_data();
    void moduleUnpluggedDuringQuery();
    void moduleUnpluggedInTheMiddleOfWrite();
    void noiseBetweenTokensChangesNothing();
    void garbageSavedPortIsNotUsed_data();
    void garbageSavedPortIsNotUsed();
    void settingsStoreInTheWayOfAFolderStartsOnCom1();
    void unreadableSettingsFileIsLeftAlone();
    void portMappedToMissingDeviceExplains();

private:
    void writeStore(const QByteArray& content);
    QByteArray storeContent() const;

    QTemporaryDir m_config;
    QString m_storeFile;
    int m_storeWrites = 0;
};

void WindowDrillsTest::initTestCase() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_storeFile = platform::QtSettingsStore::location();
    QVERIFY2(m_storeFile.startsWith(m_config.path()), qPrintable(m_storeFile));
}

void WindowDrillsTest::init() {
    QDir(QFileInfo(m_storeFile).absolutePath()).removeRecursively();
}

// QSettings keeps files it has read and reads them again only when their size or time
// changed: every rewrite gets a time of its own.
void WindowDrillsTest::writeStore(const QByteArray& content) {
    QVERIFY(QDir().mkpath(QFileInfo(m_storeFile).absolutePath()));
    QFile file(m_storeFile);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 + ++m_storeWrites),
                             QFileDevice::FileModificationTime));
}

QByteArray WindowDrillsTest::storeContent() const {
    QFile file(m_storeFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WindowDrillsTest::moduleUnpluggedDuringKeepAlivePing() {
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);
    tool.window.cmdConnect->click();
    QCOMPARE(tool.lamp(), kGreenLamp);
    TypeInto(tool.window.txtName, QStringLiteral("Bench 7"));
    TypeInto(tool.window.txtPin, QStringLiteral("4321"));

    // The module takes the next ping and is gone before it answers.
    Faults faults;
    faults.noReplyTo = "PING";
    module.setFaults(faults);
    drills::UnplugOnCommand unplug(module, module.receivedCount() + 1);

    QTRY_COMPARE_WITH_TIMEOUT(tool.lamp(), kRedLamp, kKeepAliveVerdictMs);
    QCOMPARE(unplug.trigger(), std::optional<std::string>("<PING>"));
    const QString lost = NotLostSilently(tool);
    QVERIFY2(lost.isEmpty(), qPrintable(lost));
    QVERIFY(tool.messages.shown().isEmpty());
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Bench 7"));
    QCOMPARE(tool.window.txtPin->text(), QStringLiteral("4321"));

    VirtualModule replacement;
    QVERIFY(ConnectsTo(tool, replacement));
}

void WindowDrillsTest::moduleUnpluggedDuringQuery_data() {
    QTest::addColumn<bool>("byRefresh");
    QTest::newRow("query of Connect") << false;
    QTest::newRow("query of Refresh") << true;
}

void WindowDrillsTest::moduleUnpluggedDuringQuery() {
    QFETCH(bool, byRefresh);
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);
    // Its reply would come long after the query stopped reading.
    Faults slowQuery;
    slowQuery.queryDelay = 5s;

    if (byRefresh) {
        tool.window.cmdConnect->click();
        QCOMPARE(tool.lamp(), kGreenLamp);
        // Refresh is the user's own request to replace this with what the module holds.
        TypeInto(tool.window.txtName, QStringLiteral("typed, then refreshed"));
    }
    const int baudPosition = tool.window.cboBaud->currentIndex();
    module.setFaults(slowQuery);
    drills::UnplugOnCommand unplug(module, module.receivedCount() + (byRefresh ? 1 : 3));
    (byRefresh ? tool.window.cmdRefresh : tool.window.cmdConnect)->click();

    QCOMPARE(unplug.trigger(), std::optional<std::string>("<QUERY>"));
    // Neither Connect nor Refresh checks the query: the fields read as a reply of
    // nothing, and the keep-alive finds the loss.
    QVERIFY(tool.messages.shown().isEmpty());
    QVERIFY(!tool.window.isBusy());
    QVERIFY(tool.window.Timer1.isActive());
    QCOMPARE(tool.window.txtName->text(), QString());
    QCOMPARE(tool.window.txtPin->text(), QString());
    QCOMPARE(tool.window.txtAddr->text(), QStringLiteral("0000 00 00 0000"));
    QCOMPARE(tool.window.lblBDADDR->text(), QString());
    QCOMPARE(tool.window.lblVersion->text(), QString());
    QVERIFY(!tool.window.chkMaster->isChecked());
    QVERIFY(tool.window.chkDiscoverable->isChecked());
    QVERIFY(tool.window.chkPIN->isChecked());
    QCOMPARE(tool.window.cboBaud->currentIndex(), baudPosition);

    const QString spinning = RunUntilKeepAliveGivesUp(tool);
    QVERIFY2(spinning.isEmpty(), qPrintable(spinning));
    const QString lost = NotLostSilently(tool);
    QVERIFY2(lost.isEmpty(), qPrintable(lost));
    QVERIFY(tool.messages.shown().isEmpty());

    VirtualModule replacement;
    QVERIFY(ConnectsTo(tool, replacement));
}

void WindowDrillsTest::moduleUnpluggedInTheMiddleOfWrite() {
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);
    tool.window.cmdConnect->click();
    QCOMPARE(tool.lamp(), kGreenLamp);
    TypeInto(tool.window.txtName, QStringLiteral("Bench 7"));
    TypeInto(tool.window.txtPin, QStringLiteral("4321"));
    tool.window.cboParity->setCurrentIndex(2);

    // Name, PIN code and baud rate are taken; the stop bits never are.
    Faults faults;
    faults.noReplyTo = "SBIT";
    module.setFaults(faults);
    const std::size_t before = module.receivedCount();
    drills::UnplugOnCommand unplug(module, before + 4);
    tool.window.cmdWrite->click();

    QCOMPARE(unplug.trigger(), std::optional<std::string>("<SBIT=1>"));
    const std::vector<std::string> received = module.receivedCommands();
    QCOMPARE(
        std::vector<std::string>(received.begin() + static_cast<std::ptrdiff_t>(before),
                                 received.end()),
        (std::vector<std::string>{"<NAME=Bench 7>", "<PKEY=4321>", "<BAUD=9600>", "<SBIT=1>"}));
    QCOMPARE(tool.messages.shown().size(), 1);
    QCOMPARE(tool.messages.shown().first().icon, platform::MessageIcon::Critical);
    QCOMPARE(tool.messages.shown().first().text, QStringLiteral("No reply from device!"));
    // The write itself changes no display; the next tick decides.
    QVERIFY(tool.window.Timer1.isActive());
    QVERIFY(!tool.window.isBusy());
    QCOMPARE(tool.lamp(), kGreenLamp);

    const QString spinning = RunUntilKeepAliveGivesUp(tool);
    QVERIFY2(spinning.isEmpty(), qPrintable(spinning));
    const QString lost = NotLostSilently(tool);
    QVERIFY2(lost.isEmpty(), qPrintable(lost));
    QCOMPARE(tool.messages.shown().size(), 1);
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Bench 7"));
    QCOMPARE(tool.window.txtPin->text(), QStringLiteral("4321"));
    QCOMPARE(tool.window.cboParity->currentIndex(), 2);

    VirtualModule replacement;
    QVERIFY(ConnectsTo(tool, replacement));
}

void WindowDrillsTest::noiseBetweenTokensChangesNothing() {
    VirtualModule::Options options;
    options.faults.noise = std::string("\r\n\0\a\x1b~\x7f\xff \t", 10);
    VirtualModule module(options);
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);

    tool.window.cmdConnect->click();

    QCOMPARE(tool.lamp(), kGreenLamp);
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Cordelo-BT"));
    QCOMPARE(tool.window.txtPin->text(), QStringLiteral("1234"));
    QCOMPARE(tool.window.cboBaud->currentText(), QStringLiteral("9600"));
    QCOMPARE(tool.window.lblBDADDR->text(), QStringLiteral("0012 6f 3a 9b 01"));
    QCOMPARE(tool.window.lblVersion->text(), QStringLiteral("v2.0"));

    // A second keep-alive ping goes out only when the first was answered.
    const std::size_t before = module.receivedCount();
    QTRY_COMPARE_WITH_TIMEOUT(module.receivedCount(), before + 2, kKeepAliveVerdictMs);
    QCOMPARE(module.receivedCommands().back(), std::string("<PING>"));
    QCOMPARE(tool.lamp(), kGreenLamp);

    TypeInto(tool.window.txtName, QStringLiteral("Through noise"));
    tool.window.cmdWrite->click();
    QCOMPARE(tool.messages.texts(), QStringList{"Write settings success!"});
    QCOMPARE(module.settings().name, std::string("Through noise"));

    TypeInto(tool.window.txtName, QStringLiteral("not written"));
    tool.window.cmdRefresh->click();
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Through noise"));
    QCOMPARE(tool.lamp(), kGreenLamp);
}

void WindowDrillsTest::garbageSavedPortIsNotUsed_data() {
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<int>("position");

    QTest::newRow("letters") << QByteArray("[Properties]\nCommPort=abc\n") << -1;
    QTest::newRow("zero") << QByteArray("[Properties]\nCommPort=0\n") << -1;
    QTest::newRow("past the list") << QByteArray("[Properties]\nCommPort=17\n") << -1;
    QTest::newRow("negative") << QByteArray("[Properties]\nCommPort=-3\n") << -1;
    QTest::newRow("fraction") << QByteArray("[Properties]\nCommPort=2.5\n") << -1;
    QTest::newRow("not a number") << QByteArray("[Properties]\nCommPort=nan\n") << -1;
    QTest::newRow("beyond any number") << QByteArray("[Properties]\nCommPort=1e999\n") << -1;
    QTest::newRow("a list") << QByteArray("[Properties]\nCommPort=3, 4\n") << -1;
    QTest::newRow("a broken variant")
        << QByteArray("[Properties]\nCommPort=@Variant(\\0\\x1)\n") << -1;
    QTest::newRow("control characters")
        << QByteArray("[Properties]\nCommPort=\x01\x02\x7f\n") << -1;
    QTest::newRow("zero bytes") << QByteArray("[Properties]\nCommPort=") + QByteArray(2, '\0') +
                                       "\n"
                                << -1;
    QTest::newRow("very long") << "[Properties]\nCommPort=" + QByteArray(200000, '9') + "\n" << -1;
    QTest::newRow("outside its section") << QByteArray("CommPort=5\n") << 0;
    QTest::newRow("not a settings file") << QByteArray(4096, '\xff') << 0;
}

void WindowDrillsTest::garbageSavedPortIsNotUsed() {
    QFETCH(QByteArray, store);
    QFETCH(int, position);
    writeStore(store);

    ToolOnStore tool;

    QCOMPARE(tool.window.cboPort->currentIndex(), position);
    QVERIFY(tool.messages.shown().isEmpty());
    QCOMPARE(tool.window.shpStatus->fillColor(), kRedLamp);
    if (position >= 0)
        return;
    tool.window.cmdConnect->click();
    QCOMPARE(tool.messages.texts(), QStringList{kNoPortChosen});
    QVERIFY(!tool.port.isOpen());
    QVERIFY(!tool.window.isBusy());
    QVERIFY(tool.window.cmdConnect->isEnabled());
}

void WindowDrillsTest::settingsStoreInTheWayOfAFolderStartsOnCom1() {
    QVERIFY(QDir().mkpath(m_storeFile));
    QFile inside(m_storeFile + QStringLiteral("/kept"));
    QVERIFY(inside.open(QIODevice::WriteOnly));
    inside.close();

    ToolOnStore tool;

    QCOMPARE(tool.window.cboPort->currentIndex(), 0);
    QVERIFY(tool.messages.shown().isEmpty());
    QCOMPARE(tool.window.shpStatus->fillColor(), kRedLamp);
    QVERIFY(tool.window.cmdConnect->isEnabled());

    // Storing the port of a good open fails quietly and harms nothing. Another process
    // tries it: QSettings would keep the unsaved value for the rest of this one.
    const StoreAttempt attempt = TryStoringPort(false);
    QCOMPARE(attempt.output, QByteArray("saved=none stored=0"));
    QVERIFY(QFileInfo(m_storeFile).isDir());
    QVERIFY(inside.exists());
}

void WindowDrillsTest::unreadableSettingsFileIsLeftAlone() {
    const QByteArray content = "[Ports]\nCOM3=/dev/ttyACM0\n\n[Properties]\nCommPort=3\n";
    writeStore(content);
    const QByteArray folder = QFileInfo(m_storeFile).absolutePath().toLocal8Bit();
    // The user below may pass through the folders to the file, and no further.
    QVERIFY(::chmod(m_config.path().toLocal8Bit().constData(), 0711) == 0);
    QVERIFY(::chmod(folder.constData(), 0711) == 0);
    QVERIFY(::chmod(m_storeFile.toLocal8Bit().constData(), 0) == 0);

    // Root reads any file, so the store is tried as the user nobody.
    const StoreAttempt attempt = TryStoringPort(::geteuid() == 0);
    if (!attempt.skipReason.isEmpty())
        QSKIP(qPrintable(attempt.skipReason));

    QCOMPARE(attempt.output, QByteArray("saved=none stored=0"));
    QVERIFY(::chmod(m_storeFile.toLocal8Bit().constData(), 0600) == 0);
    QCOMPARE(storeContent(), content);
}

void WindowDrillsTest::portMappedToMissingDeviceExplains() {
    const QString missing = m_config.filePath(QStringLiteral("ttyUSB-unplugged"));
    const QByteArray content =
        "[Ports]\nCOM3=" + missing.toLocal8Bit() + "\n\n[Properties]\nCommPort=3\n";
    writeStore(content);
    ToolOnStore tool;
    QCOMPARE(tool.window.cboPort->currentText(), QStringLiteral("COM3"));

    tool.window.cmdConnect->click();

    QCOMPARE(tool.messages.shown().size(), 1);
    const QString text = tool.messages.shown().first().text;
    QVERIFY2(text.startsWith(QStringLiteral("Error while opening COM3 !\r\n")), qPrintable(text));
    QVERIFY2(text.contains(missing), qPrintable(text));
    QVERIFY2(
        text.contains(QStringLiteral("COM3=/dev/ttyUSB0\nin section [Ports] of ") + m_storeFile),
        qPrintable(text));
    QVERIFY(!tool.port.isOpen());
    QVERIFY(!tool.window.isBusy());
    QCOMPARE(tool.window.shpStatus->fillColor(), kRedLamp);
    QVERIFY(tool.window.cmdConnect->isEnabled());
    QCOMPARE(storeContent(), content);
}

QTEST_MAIN(WindowDrillsTest)
#include "tst_window_drills.moc"
