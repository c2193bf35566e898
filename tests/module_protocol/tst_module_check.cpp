// The command texts, the ping and the firmware check at Connect.
#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "serial_link/port_session.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;
using modProg::Command;
using modProg::ModuleCheck;
using modProg::ParameterCommand;
using namespace std::chrono_literals;

class ModuleCheckTest : public QObject {
    Q_OBJECT

private slots:
    void commandTexts_data();
    void commandTexts();
    void parameterCommandTexts_data();
    void parameterCommandTexts();
    void pingsUntilAnswered_data();
    void pingsUntilAnswered();
    void pingSkipsLeftoverTokens();
    void firmwareCheck_data();
    void firmwareCheck();
    void closedPortSendsNothing();
};

void ModuleCheckTest::commandTexts_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("text");
    QTest::newRow("ping") << Command::Ping << "<PING>";
    QTest::newRow("version") << Command::Version << "<VERS>";
    QTest::newRow("query") << Command::Query << "<QUERY>";
    QTest::newRow("reset") << Command::Reset << "<RESET>";
    QTest::newRow("master") << Command::Master << "<MASTER>";
    QTest::newRow("slave") << Command::Slave << "<SLAVE>";
    QTest::newRow("discoverable") << Command::Discoverable << "<DISCOVERABLE>";
    QTest::newRow("invisible") << Command::Invisible << "<INVISIBLE>";
    QTest::newRow("pin on") << Command::PinOn << "<PIN_ON>";
    QTest::newRow("pin off") << Command::PinOff << "<PIN_OFF>";
}

void ModuleCheckTest::commandTexts() {
    QFETCH(Command, command);
    QFETCH(QString, text);
    QCOMPARE(modProg::ComposeCommand(command), text);
}

void ModuleCheckTest::parameterCommandTexts_data() {
    QTest::addColumn<ParameterCommand>("command");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("text");
    QTest::newRow("name with blanks") << ParameterCommand::Name << " My Dev "
                                      << "<NAME= My Dev >";
    QTest::newRow("empty pin") << ParameterCommand::PinCode << ""
                               << "<PKEY=>";
    QTest::newRow("baud") << ParameterCommand::BaudRate << "115200"
                          << "<BAUD=115200>";
    QTest::newRow("stop bits") << ParameterCommand::StopBits << "2"
                               << "<SBIT=2>";
    QTest::newRow("parity") << ParameterCommand::Parity << "E"
                            << "<PRTY=E>";
    QTest::newRow("address unchecked") << ParameterCommand::Address << "12zz 3"
                                       << "<ADDR=12zz 3>";
}

void ModuleCheckTest::parameterCommandTexts() {
    QFETCH(ParameterCommand, command);
    QFETCH(QString, parameter);
    QFETCH(QString, text);
    QCOMPARE(modProg::ComposeCommand(command, parameter), text);
}

void ModuleCheckTest::pingsUntilAnswered_data() {
    QTest::addColumn<int>("answeredFrom");
    QTest::addColumn<int>("pings");
    QTest::addColumn<ModuleCheck>("result");
    QTest::newRow("first ping") << 1 << 1 << ModuleCheck::Supported;
    QTest::newRow("fourth ping") << 4 << 4 << ModuleCheck::Supported;
    QTest::newRow("tenth ping") << 10 << 10 << ModuleCheck::Supported;
    QTest::newRow("never") << 0 << 10 << ModuleCheck::NoReply;
}

void ModuleCheckTest::pingsUntilAnswered() {
    QFETCH(int, answeredFrom);
    QFETCH(int, pings);
    QFETCH(ModuleCheck, result);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    int pingCount = 0;
    test.port.setOnWrite([&](const QByteArray& text) {
        if (text == "<PING>" && ++pingCount >= answeredFrom && answeredFrom > 0)
            test.port.feed("[READY]", 10ms);
        if (text == "<VERS>")
            test.port.feed("[v1.1]", 10ms);
    });

    QCOMPARE(modProg::CheckModule(link), result);
    QCOMPARE(test.port.countWritten("<PING>"), pings);
    QCOMPARE(test.port.countWritten("<VERS>"), result == ModuleCheck::NoReply ? 0 : 1);
    if (result == ModuleCheck::Supported)
        QCOMPARE(test.port.written().last(), QByteArray("<VERS>"));
}

void ModuleCheckTest::pingSkipsLeftoverTokens() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.feed("[OK]");
    test.port.answer("<PING>", "[READY]", 150ms);

    QVERIFY(modProg::PingModule(link));
    QCOMPARE(test.pacing.elapsed(), 200ms);
}

void ModuleCheckTest::firmwareCheck_data() {
    QTest::addColumn<QByteArray>("versionReply");
    QTest::addColumn<ModuleCheck>("result");
    QTest::newRow("v1.1") << QByteArray("[v1.1]") << ModuleCheck::Supported;
    QTest::newRow("v2.0") << QByteArray("[v2.0]") << ModuleCheck::Supported;
    QTest::newRow("v1.0") << QByteArray("[v1.0]") << ModuleCheck::InvalidFirmware;
    QTest::newRow("capital V") << QByteArray("[V1.1]") << ModuleCheck::InvalidFirmware;
    QTest::newRow("no answer") << QByteArray() << ModuleCheck::InvalidFirmware;
    QTest::newRow("five characters then four")
        << QByteArray("[v2.00][v2.0]") << ModuleCheck::Supported;
}

void ModuleCheckTest::firmwareCheck() {
    QFETCH(QByteArray, versionReply);
    QFETCH(ModuleCheck, result);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.answer("<PING>", "[READY]");
    test.port.answer("<VERS>", versionReply);

    QCOMPARE(modProg::CheckModule(link), result);
}

void ModuleCheckTest::closedPortSendsNothing() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};

    QVERIFY(!modProg::PingModule(link));
    modComm::SendCommand(link, modProg::ComposeCommand(Command::Reset));
    QVERIFY(test.port.written().isEmpty());
}

QTEST_GUILESS_MAIN(ModuleCheckTest)
#include "tst_module_check.moc"
