// The connection workflow on the scripted port: start-up, Connect with its pings and
// version check, the keep-alive, Refresh, Write, Reset and exit, and closing.
#include "frm_main.h"
#include "test_platform.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QToolButton>

#include <QTest>

using platform::MessageIcon;
using platform::PortAssignment;
using namespace std::chrono_literals;

namespace {

const QByteArray kSlaveReply = "[Cordelo-BT][1234][9600][1][N][SLAVE][0000 00 00 0000]"
                               "[0012 6f 3a 9b 01][0][DISCOVERABLE][PIN_ON][v2.0]";
const QByteArray kMasterReply = "[Master <b>1</b>][9999][115200][2][E][MASTER][]"
                                "[0012 6f 3a 9b 02][0][INVISIBLE][PIN_OFF][v1.1]";

// A module that answers everything, on the scripted port.
void AnswerLikeAModule(doubles::ScriptedSerialPort& port, const QByteArray& queryReply) {
    port.setOnWrite([&port, queryReply](const QByteArray& text) {
        if (text == "<PING>")
            port.feed("[READY]", 10ms);
        else if (text == "<VERS>")
            port.feed("[v2.0]", 10ms);
        else if (text == "<QUERY>")
            port.feed(queryReply, 150ms);
        else if (text != "<RESET>")
            port.feed("[OK]", 10ms);
    });
}

struct Tool {
    explicit Tool(const QString& savedPort = {}) {
        if (!savedPort.isNull())
            test.settings.setValue("Properties", "CommPort", savedPort);
        window.Form_Load();
    }
    void connect(const QByteArray& queryReply = kSlaveReply) {
        AnswerLikeAModule(test.port, queryReply);
        window.cmdConnect->click();
    }

    doubles::TestPlatform test;
    frmMain window{test.platform};
};

QStringList EnabledControls(const frmMain& window) {
    QStringList enabled;
    for (const char* name :
         {"cboPort", "cmdConnect", "cmdRefresh", "lblBDADDR", "lblVersion", "txtName", "chkPIN",
          "txtPin", "chkDiscoverable", "chkMaster", "cboBaud", "cboStopBit", "cboParity",
          "cmdWrite", "cmdExit", "txtAddr"}) {
        if (window.findChild<QWidget*>(name)->isEnabled())
            enabled << name;
    }
    return enabled;
}

} // namespace

class ConnectionWorkflowTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartShowsDisconnected();
    void savedPortSelectsEntry_data();
    void savedPortSelectsEntry();
    void portEntriesShowTheirDevices();
    void openingThePortListWorksItOutAgain();
    void rememberedDeviceSelectsItsNumber_data();
    void rememberedDeviceSelectsItsNumber();
    void connectWithoutPortAsksForOne();
    void failedOpenEntersNoBusyState();
    void tenUnansweredPingsShowNoReply();
    void connectAcceptsPingAnsweredLate_data();
    void connectAcceptsPingAnsweredLate();
    void unsupportedFirmwareIsRefused_data();
    void unsupportedFirmwareIsRefused();
    void connectFillsTheWindow();
    void masterRoleAfterConnectAndAfterRefresh();
    void silentQueryStillConnects();
    void keepAliveLossDisconnectsSilently();
    void answeredKeepAliveChangesNothing();
    void refreshQueriesOnceWithoutMessage();
    void writeSendsTheWindowAndReportsSuccess();
    void failedWriteRestartsTimerAndEndsBusy();
    void writeWithoutListEntrySendsNothing_data();
    void writeWithoutListEntrySendsNothing();
    void writeTakesTypedListTextOnlyWhenItIsAnEntry_data();
    void writeTakesTypedListTextOnlyWhenItIsAnEntry();
    void writeRefusesFramingCharacters();
    void writeFromAddressBoxChecksTheAddressFirst();
    void clickDuringKeepAlivePingRunsAfterIt();
    void doubleClickDuringKeepAlivePingRunsOnce_data();
    void doubleClickDuringKeepAlivePingRunsOnce();
    void heldClickIsDroppedWhenThePingLostTheModule();
    void closingDuringKeepAlivePingWaitsForIt();
    void fileActionsAndClosingDuringPingEachRunOnceInOrder();
    void closingWhileBusyIsRefused();
    void closingSendsNoReset();
    void exitSendsResetThenCloses();
    void busyStateBlocksClicks();
};

void ConnectionWorkflowTest::firstStartShowsDisconnected() {
    Tool tool;

    QCOMPARE(tool.window.cboPort->count(), 16);
    QCOMPARE(tool.window.cboPort->itemText(0), QStringLiteral("COM1"));
    QCOMPARE(tool.window.cboPort->itemText(15), QStringLiteral("COM16"));
    QCOMPARE(tool.window.cboPort->currentIndex(), 0);
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(255, 0, 0));
    // txtPin stays as created: disconnecting leaves it alone.
    QCOMPARE(EnabledControls(tool.window), (QStringList{"cboPort", "cmdConnect", "txtPin"}));
    QVERIFY(!tool.window.Timer1.isActive());
    QVERIFY(!tool.test.port.isOpen());
    QVERIFY(tool.test.port.written().isEmpty());
}

void ConnectionWorkflowTest::savedPortSelectsEntry_data() {
    QTest::addColumn<QString>("saved");
    QTest::addColumn<int>("position");
    QTest::newRow("12") << "12" << 11;
    QTest::newRow("16") << "16" << 15;
    QTest::newRow("0 selects nothing") << "0" << -1;
    QTest::newRow("17 selects nothing") << "17" << -1;
    QTest::newRow("negative") << "-3" << -1;
    QTest::newRow("fraction") << "3.5" << -1;
    QTest::newRow("garbage") << "COM3" << -1;
    QTest::newRow("empty") << "" << -1;
}

void ConnectionWorkflowTest::savedPortSelectsEntry() {
    QFETCH(QString, saved);
    QFETCH(int, position);
    Tool tool(saved);
    QCOMPARE(tool.window.cboPort->currentIndex(), position);
}

void ConnectionWorkflowTest::portEntriesShowTheirDevices() {
    Tool tool;
    tool.window.cboPort->showPopup();
    tool.window.cboPort->hidePopup();
    QCOMPARE(tool.window.cboPort->itemData(4, Qt::ToolTipRole).toString(),
             QStringLiteral("/dev/scripted5"));
}

void ConnectionWorkflowTest::openingThePortListWorksItOutAgain() {
    Tool tool;
    QList<PortAssignment> ports = tool.test.port.discoverPorts();
    ports[1] = {2, "/dev/ttyUSB0", {}, "FT232R USB UART (FTDI), serial A10K1234", true};
    ports[2] = {3, "/dev/ttyS2", {}, {}, false};
    ports[3].description = "<b>bold</b>";
    tool.test.port.setPorts(ports);

    tool.window.cboPort->showPopup();
    tool.window.cboPort->hidePopup();

    const auto tip = [&tool](int position) {
        return tool.window.cboPort->itemData(position, Qt::ToolTipRole).toString();
    };
    QCOMPARE(tip(1), QStringLiteral("/dev/ttyUSB0: FT232R USB UART (FTDI), serial A10K1234"));
    QCOMPARE(tip(2), QStringLiteral("/dev/ttyS2: nothing is plugged in"));
    QCOMPARE(QTextDocumentFragment::fromHtml(tip(3)).toPlainText(), "/dev/scripted4: <b>bold</b>");
}

void ConnectionWorkflowTest::rememberedDeviceSelectsItsNumber_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("position");
    QTest::newRow("moved to COM3") << "/dev/serial/by-id/usb-B" << 2;
    QTest::newRow("nothing there: the saved number") << "/dev/ttyS4" << 6;
}

void ConnectionWorkflowTest::rememberedDeviceSelectsItsNumber() {
    QFETCH(QString, device);
    QFETCH(int, position);
    doubles::TestPlatform test;
    QList<PortAssignment> ports = test.port.discoverPorts();
    ports[2] = {3, "/dev/ttyUSB1", "/dev/serial/by-id/usb-B", "B", true};
    ports[4] = {5, "/dev/ttyS4", {}, {}, false};
    test.port.setPorts(ports);
    test.settings.setValue("Properties", "CommPort", "7");
    test.settings.setValue("Properties", "CommDevice", device);
    frmMain window{test.platform};

    window.Form_Load();

    QCOMPARE(window.cboPort->currentIndex(), position);
}

void ConnectionWorkflowTest::connectWithoutPortAsksForOne() {
    Tool tool("0");

    tool.window.cmdConnect->click();

    QCOMPARE(tool.test.port.opens(), 0);
    QCOMPARE(tool.test.messages.shown().size(), 1);
    QCOMPARE(tool.test.messages.shown().first().icon, MessageIcon::Critical);
    QVERIFY(tool.test.messages.shown().first().text.contains("COM port"));
}

void ConnectionWorkflowTest::failedOpenEntersNoBusyState() {
    Tool tool;
    tool.test.port.failOpen("gone");
    bool busyAtMessage = true;
    tool.test.messages.setWhileOpen([&](const auto&) { busyAtMessage = tool.window.isBusy(); });

    tool.window.cmdConnect->click();

    QVERIFY(!busyAtMessage);
    QCOMPARE(tool.test.messages.texts(), QStringList{"Error while opening COM1 !\r\ngone"});
    QVERIFY(tool.test.port.written().isEmpty());
}

void ConnectionWorkflowTest::tenUnansweredPingsShowNoReply() {
    Tool tool("1");
    tool.window.cboPort->setCurrentIndex(6);
    bool busyAndOpen = false;
    tool.test.messages.setWhileOpen(
        [&](const auto&) { busyAndOpen = tool.window.isBusy() && tool.test.port.isOpen(); });

    tool.window.cmdConnect->click();

    QCOMPARE(tool.test.port.countWritten("<PING>"), 10);
    QCOMPARE(tool.test.port.written().size(), 10);
    QCOMPARE(tool.test.messages.texts(), QStringList{"No reply from device!"});
    QCOMPARE(tool.test.messages.shown().first().icon, MessageIcon::Critical);
    QVERIFY(busyAndOpen);
    QVERIFY(!tool.test.port.isOpen());
    QVERIFY(!tool.window.isBusy());
    QVERIFY(!tool.window.Timer1.isActive());
    QVERIFY(tool.window.cmdConnect->isEnabled());
    QCOMPARE(tool.test.settings.value("Properties", "CommPort", ""), QStringLiteral("7"));
}

void ConnectionWorkflowTest::connectAcceptsPingAnsweredLate_data() {
    QTest::addColumn<int>("answeredPing");
    QTest::newRow("fourth") << 4;
    QTest::newRow("tenth") << 10;
}

void ConnectionWorkflowTest::connectAcceptsPingAnsweredLate() {
    QFETCH(int, answeredPing);
    Tool tool;
    int pings = 0;
    tool.test.port.setOnWrite([&](const QByteArray& text) {
        if (text == "<PING>" && ++pings >= answeredPing)
            tool.test.port.feed("[READY]", 10ms);
        if (text == "<VERS>")
            tool.test.port.feed("[v1.1]", 10ms);
    });

    tool.window.cmdConnect->click();

    QCOMPARE(tool.test.port.countWritten("<PING>"), answeredPing);
    QCOMPARE(tool.test.port.written().value(answeredPing), QByteArray("<VERS>"));
    QVERIFY(tool.window.Timer1.isActive());
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(0, 255, 0));
}

void ConnectionWorkflowTest::unsupportedFirmwareIsRefused_data() {
    QTest::addColumn<QByteArray>("version");
    QTest::newRow("v1.0") << QByteArray("[v1.0]");
    QTest::newRow("capital V") << QByteArray("[V1.1]");
    QTest::newRow("no answer") << QByteArray();
}

void ConnectionWorkflowTest::unsupportedFirmwareIsRefused() {
    QFETCH(QByteArray, version);
    Tool tool;
    tool.test.port.answer("<PING>", "[READY]", 10ms);
    tool.test.port.answer("<VERS>", version, 10ms);
    bool openAtMessage = false;
    tool.test.messages.setWhileOpen([&](const auto&) { openAtMessage = tool.test.port.isOpen(); });

    tool.window.cmdConnect->click();

    QCOMPARE(tool.test.messages.texts(),
             QStringList{"Invalid firmware version!\r\nIt must be v1.1 or v2.0 !"});
    QVERIFY(openAtMessage);
    QVERIFY(!tool.test.port.isOpen());
    QCOMPARE(tool.test.port.countWritten("<QUERY>"), 0);
    QVERIFY(!tool.window.isBusy());
    QVERIFY(tool.window.cmdConnect->isEnabled());
}

void ConnectionWorkflowTest::connectFillsTheWindow() {
    Tool tool;
    tool.connect();

    QVERIFY(tool.test.messages.shown().isEmpty());
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Cordelo-BT"));
    QCOMPARE(tool.window.txtPin->text(), QStringLiteral("1234"));
    QCOMPARE(tool.window.cboBaud->currentIndex(), 3);
    QCOMPARE(tool.window.cboStopBit->currentIndex(), 0);
    QCOMPARE(tool.window.cboParity->currentIndex(), 0);
    QVERIFY(!tool.window.chkMaster->isChecked());
    QCOMPARE(tool.window.lblBDADDR->text(), QStringLiteral("0012 6f 3a 9b 01"));
    QCOMPARE(tool.window.lblVersion->text(), QStringLiteral("v2.0"));
    QVERIFY(tool.window.chkDiscoverable->isChecked());
    QVERIFY(tool.window.chkPIN->isChecked());
    QVERIFY(tool.window.Timer1.isActive());
    QVERIFY(!tool.window.isBusy());
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(0, 255, 0));
    QCOMPARE(EnabledControls(tool.window),
             (QStringList{"cmdRefresh", "lblBDADDR", "lblVersion", "txtName", "chkPIN", "txtPin",
                          "chkDiscoverable", "chkMaster", "cboBaud", "cboStopBit", "cboParity",
                          "cmdWrite", "cmdExit"}));
}

void ConnectionWorkflowTest::masterRoleAfterConnectAndAfterRefresh() {
    Tool tool;
    tool.connect(kMasterReply);

    QVERIFY(tool.window.chkMaster->isChecked());
    QVERIFY(tool.window.txtAddr->isEnabled());
    QCOMPARE(tool.window.txtAddr->text(), QStringLiteral("0000 00 00 0000"));
    // The connected display enables it after the query's role display disabled it.
    QVERIFY(tool.window.chkDiscoverable->isEnabled());
    QVERIFY(!tool.window.chkDiscoverable->isChecked());
    QVERIFY(!tool.window.chkPIN->isChecked());
    QVERIFY(!tool.window.txtPin->isEnabled());
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Master <b>1</b>"));
    QCOMPARE(tool.window.cboBaud->currentIndex(), 7);
    QCOMPARE(tool.window.cboParity->currentIndex(), 2);

    tool.window.cmdRefresh->click();

    QVERIFY(!tool.window.chkDiscoverable->isEnabled());
    QVERIFY(tool.window.txtAddr->isEnabled());
}

void ConnectionWorkflowTest::silentQueryStillConnects() {
    Tool tool;
    tool.test.port.answer("<PING>", "[READY]", 10ms);
    tool.test.port.answer("<VERS>", "[v2.0]", 10ms);

    tool.window.cmdConnect->click();

    QVERIFY(tool.test.messages.shown().isEmpty());
    QVERIFY(tool.window.Timer1.isActive());
    QCOMPARE(tool.window.txtName->text(), QString());
    QCOMPARE(tool.window.txtAddr->text(), QStringLiteral("0000 00 00 0000"));
    QCOMPARE(tool.window.cboBaud->currentIndex(), -1);
    QVERIFY(tool.window.chkDiscoverable->isChecked());
    QVERIFY(tool.window.txtPin->isEnabled());
}

void ConnectionWorkflowTest::keepAliveLossDisconnectsSilently() {
    Tool tool;
    tool.connect(kMasterReply);
    tool.test.port.setOnWrite({});

    tool.window.Timer1_Timer();

    QVERIFY(tool.test.messages.shown().isEmpty());
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(255, 0, 0));
    QVERIFY(!tool.window.Timer1.isActive());
    QVERIFY(!tool.test.port.isOpen());
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Master <b>1</b>"));
    // Master role, PIN request off: the address stays editable, the PIN box as it was.
    QCOMPARE(EnabledControls(tool.window), (QStringList{"cboPort", "cmdConnect", "txtAddr"}));
}

void ConnectionWorkflowTest::answeredKeepAliveChangesNothing() {
    Tool tool;
    tool.connect();
    const QStringList before = EnabledControls(tool.window);

    tool.window.Timer1_Timer();

    QCOMPARE(tool.test.port.written().last(), QByteArray("<PING>"));
    QVERIFY(tool.window.Timer1.isActive());
    QCOMPARE(EnabledControls(tool.window), before);
}

void ConnectionWorkflowTest::refreshQueriesOnceWithoutMessage() {
    Tool tool;
    tool.connect();
    tool.test.port.setOnWrite({});

    tool.window.cmdRefresh->click();

    QCOMPARE(tool.test.port.countWritten("<QUERY>"), 2);
    QVERIFY(tool.test.messages.shown().isEmpty());
    QVERIFY(tool.window.Timer1.isActive());
    QVERIFY(!tool.window.isBusy());
    QCOMPARE(tool.window.txtName->text(), QString());
}

void ConnectionWorkflowTest::writeSendsTheWindowAndReportsSuccess() {
    Tool tool;
    tool.connect();
    tool.window.txtName->setText(QStringLiteral(" Bench "));
    tool.window.cboParity->setCurrentIndex(2);
    bool busyAndStopped = false;
    tool.test.messages.setWhileOpen([&](const auto&) {
        busyAndStopped = tool.window.isBusy() && !tool.window.Timer1.isActive();
    });
    const qsizetype before = tool.test.port.written().size();

    tool.window.cmdWrite->click();

    QCOMPARE(tool.test.port.written().mid(before),
             (QList<QByteArray>{"<NAME= Bench >", "<PKEY=1234>", "<BAUD=9600>", "<SBIT=1>",
                                "<PRTY=E>", "<SLAVE>", "<DISCOVERABLE>", "<PIN_ON>"}));
    QCOMPARE(tool.test.messages.texts(), QStringList{"Write settings success!"});
    QCOMPARE(tool.test.messages.shown().first().icon, MessageIcon::Information);
    QVERIFY(busyAndStopped);
    QVERIFY(tool.window.Timer1.isActive());
    QVERIFY(!tool.window.isBusy());
}

void ConnectionWorkflowTest::failedWriteRestartsTimerAndEndsBusy() {
    Tool tool;
    tool.connect();
    tool.test.port.setOnWrite({});
    const qsizetype before = tool.test.port.written().size();

    tool.window.cmdWrite->click();

    QCOMPARE(tool.test.port.written().mid(before), QList<QByteArray>{"<NAME=Cordelo-BT>"});
    QCOMPARE(tool.test.messages.texts(), QStringList{"No reply from device!"});
    QCOMPARE(tool.test.messages.shown().first().icon, MessageIcon::Critical);
    QVERIFY(tool.window.Timer1.isActive());
    QVERIFY(!tool.window.isBusy());
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(0, 255, 0));
}

void ConnectionWorkflowTest::writeWithoutListEntrySendsNothing_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("caption");
    QTest::newRow("baud") << "cboBaud"
                          << "Baud rate";
    QTest::newRow("stop bits") << "cboStopBit"
                               << "Stop bit(s)";
    QTest::newRow("parity") << "cboParity"
                            << "Parity bit";
}

void ConnectionWorkflowTest::writeWithoutListEntrySendsNothing() {
    QFETCH(QString, list);
    QFETCH(QString, caption);
    Tool tool;
    tool.connect();
    tool.window.findChild<QComboBox*>(list)->setCurrentIndex(-1);
    const qsizetype before = tool.test.port.written().size();

    tool.window.cmdWrite->click();

    QCOMPARE(tool.test.port.written().size(), before);
    QCOMPARE(tool.test.messages.shown().size(), 1);
    QCOMPARE(tool.test.messages.shown().first().icon, MessageIcon::Critical);
    QVERIFY(tool.test.messages.shown().first().text.contains('"' + caption + '"'));
    QVERIFY(tool.window.Timer1.isActive());
}

void ConnectionWorkflowTest::writeTakesTypedListTextOnlyWhenItIsAnEntry_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("sent"); // nothing: the write is refused
    const char* const rows[][4] = {{"cboBaud", " 19200 ", "19200", "<BAUD=19200>"},
                                   {"cboParity", "even", "Even", "<PRTY=E>"},
                                   {"cboBaud", "300", "300", ""}};
    for (const auto& [list, typed, shown, sent] : rows)
        QTest::newRow(typed) << QString(list) << QString(typed) << QString(shown)
                             << QByteArray(sent);
}

void ConnectionWorkflowTest::writeTakesTypedListTextOnlyWhenItIsAnEntry() {
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, sent);
    Tool tool;
    tool.connect();
    auto* field = tool.window.findChild<QComboBox*>(list);
    field->setEditText(typed);
    const qsizetype before = tool.test.port.written().size();

    tool.window.cmdWrite->click();

    QCOMPARE(field->currentText(), shown);
    QCOMPARE(field->currentIndex() >= 0, !sent.isEmpty());
    QCOMPARE(tool.test.port.written().mid(before).contains(sent), !sent.isEmpty());
    QCOMPARE(tool.test.messages.texts().first().startsWith("Choose an entry"), sent.isEmpty());
}

void ConnectionWorkflowTest::writeRefusesFramingCharacters() {
    Tool tool;
    tool.connect();
    tool.window.txtPin->setText(QStringLiteral("1]"));
    const qsizetype before = tool.test.port.written().size();

    tool.window.cmdWrite->click();

    QCOMPARE(tool.test.port.written().size(), before);
    QCOMPARE(tool.test.messages.texts(), QStringList{"Invalid character \"]\" in Pin code!"});
}

void ConnectionWorkflowTest::writeFromAddressBoxChecksTheAddressFirst() {
    Tool tool;
    tool.connect(kMasterReply);
    tool.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&tool.window));
    // The reply's name holds "<", which the write refuses.
    tool.window.txtName->setText(QStringLiteral("Master"));
    tool.window.txtAddr->setFocus();
    tool.window.txtAddr->setText(QStringLiteral("ABCD"));
    QStringList shownWhileBusy;
    tool.test.messages.setWhileOpen([&](const doubles::ShownMessage& message) {
        if (tool.window.isBusy())
            shownWhileBusy << message.text;
    });

    // Press and release straight after each other, as from a quick click.
    QTest::mouseClick(tool.window.cmdWrite, Qt::LeftButton);
    QCoreApplication::processEvents();

    QVERIFY(tool.test.port.written().contains("<ADDR=abcd>"));
    QCOMPARE(tool.window.txtAddr->text(), QStringLiteral("abcd"));
    QCOMPARE(tool.test.messages.texts(),
             (QStringList{"Invalid address format!", "Write settings success!"}));
    QCOMPARE(shownWhileBusy, QStringList{"Write settings success!"});
}

void ConnectionWorkflowTest::clickDuringKeepAlivePingRunsAfterIt() {
    Tool tool;
    tool.connect();
    const qsizetype before = tool.test.port.written().size();
    qsizetype writtenDuringPing = -1;
    tool.test.pacing.setOnEvents([&](int run) {
        if (run != 1)
            return;
        tool.window.cmdRefresh->click();
        writtenDuringPing = tool.test.port.written().size() - before;
    });

    tool.test.pacing.clearCounts();
    tool.window.Timer1_Timer();
    tool.test.pacing.setOnEvents({});

    QCOMPARE(writtenDuringPing, 1);
    QCOMPARE(tool.test.port.written().mid(before), (QList<QByteArray>{"<PING>", "<QUERY>"}));
    QVERIFY(tool.window.Timer1.isActive());
}

void ConnectionWorkflowTest::doubleClickDuringKeepAlivePingRunsOnce_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("write") << "cmdWrite" << QByteArray("<PIN_ON>");
    QTest::newRow("refresh") << "cmdRefresh" << QByteArray("<QUERY>");
}

void ConnectionWorkflowTest::doubleClickDuringKeepAlivePingRunsOnce() {
    QFETCH(QString, button);
    QFETCH(QByteArray, command);
    Tool tool;
    tool.connect();
    auto* control = tool.window.findChild<QAbstractButton*>(button);
    const int before = tool.test.port.countWritten(command);
    tool.test.pacing.setOnEvents([&](int run) {
        if (run == 1) {
            control->click();
            control->click();
        }
    });

    tool.test.pacing.clearCounts();
    tool.window.Timer1_Timer();
    tool.test.pacing.setOnEvents({});

    QCOMPARE(tool.test.port.countWritten(command) - before, 1);
    QVERIFY(tool.test.messages.shown().size() <= 1); // Write's one message, Refresh's none
}

void ConnectionWorkflowTest::heldClickIsDroppedWhenThePingLostTheModule() {
    Tool tool;
    tool.connect();
    tool.test.port.setOnWrite({});
    tool.test.pacing.setOnEvents([&](int run) {
        if (run == 1)
            tool.window.cmdWrite->click();
    });

    tool.test.pacing.clearCounts();
    tool.window.Timer1_Timer();
    tool.test.pacing.setOnEvents({});

    QCOMPARE(tool.test.port.written().last(), QByteArray("<PING>"));
    QVERIFY(tool.test.messages.shown().isEmpty());
    QVERIFY(tool.window.cmdConnect->isEnabled());
}

void ConnectionWorkflowTest::fileActionsAndClosingDuringPingEachRunOnceInOrder() {
    Tool tool;
    tool.connect();
    tool.window.show();
    tool.test.pacing.setOnEvents([&](int run) {
        if (run != 1)
            return;
        // Save and Load, each pressed twice, then closing.
        for (QAction* action : tool.window.actions()) {
            action->trigger();
            action->trigger();
        }
        tool.window.close();
    });
    // Each file dialog that opens is recorded and cancelled.
    QStringList dialogs;
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogs << dialog->windowTitle();
            dialog->reject();
        }
    });
    dismiss.start(10);

    tool.test.pacing.clearCounts();
    tool.window.Timer1_Timer();
    tool.test.pacing.setOnEvents({});

    QCOMPARE(dialogs, (QStringList{"Save settings to file", "Load settings from file"}));
    QVERIFY(!tool.window.isVisible());
}

void ConnectionWorkflowTest::closingDuringKeepAlivePingWaitsForIt() {
    Tool tool;
    tool.connect();
    tool.window.show();
    bool openAfterCloseRequest = false;
    tool.test.pacing.setOnEvents([&](int run) {
        if (run == 1) {
            tool.window.close();
            openAfterCloseRequest = tool.window.isVisible() && tool.test.port.isOpen();
        }
    });

    tool.test.pacing.clearCounts();
    tool.window.Timer1_Timer();
    tool.test.pacing.setOnEvents({});

    QVERIFY(openAfterCloseRequest);
    QVERIFY(!tool.window.isVisible());
    QVERIFY(!tool.test.port.isOpen());
    QVERIFY(!tool.test.port.written().contains("<RESET>"));
}

void ConnectionWorkflowTest::closingWhileBusyIsRefused() {
    Tool tool;
    tool.window.show();
    bool closed = true;
    tool.test.messages.setWhileOpen([&](const auto&) { closed = tool.window.close(); });

    tool.window.cmdConnect->click();

    QVERIFY(!closed);
    QVERIFY(tool.window.isVisible());
}

void ConnectionWorkflowTest::closingSendsNoReset() {
    Tool tool;
    tool.connect();
    tool.window.show();

    QVERIFY(tool.window.close());

    QVERIFY(!tool.test.port.isOpen());
    QVERIFY(!tool.test.port.written().contains("<RESET>"));
}

void ConnectionWorkflowTest::exitSendsResetThenCloses() {
    Tool tool;
    tool.connect();
    tool.window.show();

    tool.window.cmdExit->click();

    QCOMPARE(tool.test.port.written().last(), QByteArray("<RESET>"));
    QCOMPARE(tool.test.port.operations().last(), QStringLiteral("Close"));
    QVERIFY(!tool.window.isVisible());
}

void ConnectionWorkflowTest::busyStateBlocksClicks() {
    Tool tool;
    tool.connect();
    tool.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tool.window));
    const qsizetype before = tool.test.port.written().size();
    tool.test.port.setOnWrite({});
    tool.test.messages.setWhileOpen([&](const auto&) {
        QTest::mouseClick(tool.window.cmdRefresh, Qt::LeftButton);
        QTest::keyClick(tool.window.txtName, Qt::Key_A);
    });

    tool.window.cmdWrite->click();

    QCOMPARE(tool.test.port.countWritten("<QUERY>"), 1);
    QCOMPARE(tool.test.port.written().size(), before + 1);
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Cordelo-BT"));
    // Busy is over: the same click now works.
    QTest::mouseClick(tool.window.cmdRefresh, Qt::LeftButton);
    QCOMPARE(tool.test.port.countWritten("<QUERY>"), 2);
}

QTEST_MAIN(ConnectionWorkflowTest)
#include "tst_connection_workflow.moc"
