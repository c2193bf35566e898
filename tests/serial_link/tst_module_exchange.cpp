// The real port against the virtual module through a pseudo-terminal: ping, version
// check and the settings reply as they cross the wire at 9600-baud pacing.
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "serial_link/port_session.h"

#include "link_on_device.h"

#include "virtual_module/virtual_module.h"

#include <QTest>

using namespace std::chrono_literals;

class ModuleExchangeTest : public QObject {
    Q_OBJECT

private slots:
    void connectCheckAcceptsTheModule();
    void pingsUntilTheFourthIsAnswered();
    void unsupportedFirmwareIsRefused();
    void settingsReplyArrivesWhole();
    void cutReplyStillLandsInItsFields();

private:
    // A link on the module's device.
    struct Session : doubles::LinkOnDevice {
        explicit Session(const virtual_module::VirtualModule& module)
            : LinkOnDevice(QString::fromStdString(module.devicePath())) {}
    };
};

void ModuleExchangeTest::connectCheckAcceptsTheModule() {
    virtual_module::VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));

    QCOMPARE(modProg::CheckModule(session.link), modProg::ModuleCheck::Supported);
    QCOMPARE(module.receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>"}));
}

void ModuleExchangeTest::pingsUntilTheFourthIsAnswered() {
    virtual_module::VirtualModule::Options options;
    options.faults.answerPingsFrom = 4;
    virtual_module::VirtualModule module(options);
    QVERIFY(module.start());
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));

    QCOMPARE(modProg::CheckModule(session.link), modProg::ModuleCheck::Supported);
    QCOMPARE(module.receivedCommands(),
             (std::vector<std::string>{"<PING>", "<PING>", "<PING>", "<PING>", "<VERS>"}));
}

void ModuleExchangeTest::unsupportedFirmwareIsRefused() {
    virtual_module::VirtualModule::Options options;
    options.settings.firmware = "v1.0";
    virtual_module::VirtualModule module(options);
    QVERIFY(module.start());
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));

    QCOMPARE(modProg::CheckModule(session.link), modProg::ModuleCheck::InvalidFirmware);
}

void ModuleExchangeTest::settingsReplyArrivesWhole() {
    virtual_module::VirtualModule::Options options;
    options.settings.name = "Bench <b>1</b>";
    options.settings.master = true;
    virtual_module::VirtualModule module(options);
    QVERIFY(module.start());
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));

    const auto reply = modProg::ReadSettingsReply(session.link);

    QCOMPARE(reply[modProg::Field::Name], QStringLiteral("Bench <b>1</b>"));
    QCOMPARE(reply[modProg::Field::Role], QStringLiteral("MASTER"));
    QCOMPARE(reply[modProg::Field::DeviceAddress], QStringLiteral("0012 6f 3a 9b 01"));
    QCOMPARE(reply[modProg::Field::Firmware], QStringLiteral("v2.0"));
}

void ModuleExchangeTest::cutReplyStillLandsInItsFields() {
    virtual_module::VirtualModule::Options options;
    // Cut inside the parity token, the rest coming after the query's pause.
    options.faults.queryCutAt = std::string("[Cordelo-BT][1234][9600][1][").size();
    options.faults.queryCutPause = 450ms;
    virtual_module::VirtualModule module(options);
    QVERIFY(module.start());
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));

    const auto reply = modProg::ReadSettingsReply(session.link);

    QCOMPARE(reply[modProg::Field::Parity], QStringLiteral("N"));
    QCOMPARE(reply[modProg::Field::Role], QStringLiteral("SLAVE"));
    QCOMPARE(reply[modProg::Field::Firmware], QStringLiteral("v2.0"));
}

QTEST_GUILESS_MAIN(ModuleExchangeTest)
#include "tst_module_exchange.moc"
