// The simulated module behind the serial port interface, as `--virtual-module` uses it: it
// answers on COM1 alone, at the pace of a 9600-baud line, and keeps what is written to it.
#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "platform/qt_pacing.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"
#include "virtual_module/simulated_serial_port.h"

#include "memory_settings_store.h"
#include "recording_message_box.h"

#include <QTest>

#include <chrono>

using namespace std::chrono_literals;

class SimulatedSerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void onlyCom1HoldsTheModule();
    void repliesTakeTheLinesTime();
    void writtenSettingsAreReadBack();

private:
    struct Session {
        explicit Session(virtual_module::SimulatedModule& module) : port(module) {}
        virtual_module::SimulatedSerialPort port;
        doubles::MemorySettingsStore settings;
        doubles::RecordingMessageBox messages;
        platform::QtPacing pacing;
        platform::Platform platform{port, settings, messages, pacing};
        modComm::Link link{platform, {}, modComm::WaitStyle::OnData};
    };
};

void SimulatedSerialPortTest::onlyCom1HoldsTheModule() {
    virtual_module::SimulatedModule module;
    Session session(module);
    QVERIFY(!modComm::OpenPort(session.link, 2));
    QVERIFY2(session.messages.texts().join("").contains("the simulated module is on COM1"),
             qPrintable(session.messages.texts().join("")));

    int present = 0;
    for (const platform::PortAssignment& port : session.port.discoverPorts())
        present += port.present ? port.portNumber : 0;
    QCOMPARE(present, 1);
}

void SimulatedSerialPortTest::repliesTakeTheLinesTime() {
    virtual_module::SimulatedModule module;
    Session session(module);
    QVERIFY(modComm::OpenPort(session.link, 1));
    const auto sent = std::chrono::steady_clock::now();
    session.port.write("<PING>");
    QCOMPARE(session.port.readAll(), QByteArray());

    QByteArray reply;
    while (reply.size() < 7 && session.port.waitForInput(1s))
        reply += session.port.readAll();
    QCOMPARE(reply, QByteArray("[READY]"));
    // Seven characters of ten bits each at 9600 baud.
    QVERIFY(std::chrono::steady_clock::now() - sent >= 7ms);
}

void SimulatedSerialPortTest::writtenSettingsAreReadBack() {
    virtual_module::SimulatedModule module;
    {
        Session session(module);
        QVERIFY(modComm::OpenPort(session.link, 1));
        QCOMPARE(modProg::CheckModule(session.link), modProg::ModuleCheck::Supported);
        modComm::SendCommand(session.link,
                             modProg::ComposeCommand(modProg::ParameterCommand::Name, "Sim-7"));
        QVERIFY(modComm::WaitForReply(session.link, modProg::kAcknowledgement));
    }
    // Another port object on the same module, as each module job of the command line has.
    Session again(module);
    QVERIFY(modComm::OpenPort(again.link, 1));
    QCOMPARE(modProg::ReadSettingsReply(again.link)[modProg::Field::Name], QStringLiteral("Sim-7"));
}

QTEST_GUILESS_MAIN(SimulatedSerialPortTest)
#include "tst_simulated_serial_port.moc"
