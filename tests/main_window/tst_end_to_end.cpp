// The whole tool against the virtual module through a pseudo-terminal, as a user at
// the bench drives it.
#include "application.h"
#include "frm_main.h"

#include "tool_on_module.h"

#include "virtual_module/virtual_module.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

bool Contains(const std::vector<std::string>& commands, const std::string& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void connectWriteAndRefresh();
    void unpluggedModuleTurnsLampRedSilently();
    void exitResetsTheModule();
    void closingLeavesTheModuleAlone();
    void traceRecordsTheExchange();
};

void EndToEndTest::connectWriteAndRefresh() {
    virtual_module::VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);

    tool.window.cmdConnect->click();
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(0, 255, 0));
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Cordelo-BT"));
    QCOMPARE(tool.window.lblVersion->text(), QStringLiteral("v2.0"));

    tool.window.txtName->setText(QStringLiteral("Bench 7"));
    tool.window.txtPin->setText(QStringLiteral("4321"));
    tool.window.chkMaster->setChecked(true);
    tool.window.txtAddr->setText(QStringLiteral("0012 6f 3a 9b01"));
    tool.window.cboParity->setCurrentIndex(2);
    tool.window.cboBaud->setCurrentIndex(7);
    tool.window.cmdWrite->click();

    QCOMPARE(tool.messages.texts(), QStringList{"Write settings success!"});
    const virtual_module::ModuleSettings held = module.settings();
    QCOMPARE(held.name, std::string("Bench 7"));
    QCOMPARE(held.pin, std::string("4321"));
    QVERIFY(held.master);
    QCOMPARE(held.connectAddress, std::string("0012 6f 3a 9b01"));
    QCOMPARE(held.parity, std::string("E"));
    QCOMPARE(held.baud, std::string("115200"));

    tool.window.txtName->setText(QStringLiteral("typed, not written"));
    tool.window.cboParity->setCurrentIndex(0);
    tool.window.cmdRefresh->click();

    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Bench 7"));
    QCOMPARE(tool.window.cboParity->currentIndex(), 2);
    QCOMPARE(tool.window.cboBaud->currentIndex(), 7);
    QVERIFY(tool.window.chkMaster->isChecked());
    QVERIFY(tool.window.Timer1.isActive());
}

void EndToEndTest::unpluggedModuleTurnsLampRedSilently() {
    virtual_module::VirtualModule module;
    QVERIFY(module.start());
    doubles::ToolOnModule tool(module);
    tool.window.cmdConnect->click();
    QCOMPARE(tool.window.shpStatus->fillColor(), QColor(0, 255, 0));

    module.hangUp();

    // The next keep-alive tick, at most a second away, finds the module gone.
    QTRY_COMPARE_WITH_TIMEOUT(tool.window.shpStatus->fillColor(), QColor(255, 0, 0), 2500);
    QVERIFY(tool.messages.shown().isEmpty());
    QVERIFY(!tool.port.isOpen());
    QVERIFY(!tool.window.Timer1.isActive());
    QVERIFY(tool.window.cmdConnect->isEnabled());
}

void EndToEndTest::exitResetsTheModule() {
    virtual_module::VirtualModule module;
    QVERIFY(module.start());
    doubles::ToolOnModule tool(module);
    tool.window.cmdConnect->click();
    const std::size_t before = module.receivedCount();

    tool.window.cmdExit->click();

    QCOMPARE(module.waitForCommand(before + 1, 2s), std::optional<std::string>("<RESET>"));
    QVERIFY(!tool.window.isVisible());
    QVERIFY(!tool.port.isOpen());
}

void EndToEndTest::closingLeavesTheModuleAlone() {
    virtual_module::VirtualModule module;
    QVERIFY(module.start());
    doubles::ToolOnModule tool(module);
    tool.window.cmdConnect->click();

    QVERIFY(tool.window.close());

    QVERIFY(!tool.port.isOpen());
    QVERIFY(!module.waitForCommand(module.receivedCount() + 1, 300ms));
    QVERIFY(!Contains(module.receivedCommands(), "<RESET>"));
}

void EndToEndTest::traceRecordsTheExchange() {
    QTemporaryDir configuration;
    qputenv("XDG_CONFIG_HOME", configuration.path().toLocal8Bit());
    virtual_module::VirtualModule module;
    QVERIFY(module.start());
    platform::QtSettingsStore().setValue("Ports", "COM1",
                                         QString::fromStdString(module.devicePath()));
    QBuffer trace;
    trace.open(QIODevice::WriteOnly);
    main_window::Application tool(&trace);
    tool.start();
    tool.window().cboPort->setCurrentIndex(0);

    tool.window().cmdConnect->click();
    tool.window().close();

    const QString lines = QString::fromUtf8(trace.data());
    QVERIFY2(lines.contains(" ms  COM1  sent     <PING>\n"), qPrintable(lines));
    QVERIFY2(lines.contains(" ms  COM1  received [READY]\n"), qPrintable(lines));
    QVERIFY2(lines.endsWith(" ms  COM1  closed\n"), qPrintable(lines));
}

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
