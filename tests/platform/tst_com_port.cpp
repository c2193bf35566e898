// The real serial port on Windows: a Wine COM port that leads to the Linux virtual module (see
// scripts/windows/with-virtual-module.sh, which names the port in CORDELO_TEST_COM). Windows'
// own serial backend, the registry store, the modem lines and the drain before close run here for
// real. (Wine lets a second handle open a COM port, so "access denied" needs real Windows.)
#include "module_protocol/commands.h"
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"
#include "serial_link/port_session.h"

#include "recording_message_box.h"

#include <QSettings>
#include <QTest>

class ComPortTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void moduleAnswersThroughTheComPort();
    void successfulOpenIsStoredInTheRegistry();
    void lastCommandArrivesWholeWhenClosedAtOnce();

private:
    struct Session {
        platform::QtSettingsStore settings;
        platform::QtSerialPort port{settings};
        doubles::RecordingMessageBox messages;
        platform::QtPacing pacing;
        platform::Platform platform{port, settings, messages, pacing};
        modComm::Link link{platform, {}, modComm::WaitStyle::OnData};
    };

    QString queriedName(Session& session);

    int m_port = 0;
};

void ComPortTest::initTestCase() {
    m_port = qEnvironmentVariableIntValue("CORDELO_TEST_COM");
    if (m_port < 1 || m_port > 16)
        QSKIP("No COM port leads to a module: run through with-virtual-module.sh");
}

QString ComPortTest::queriedName(Session& session) {
    return modProg::ReadSettingsReply(session.link)[modProg::Field::Name];
}

void ComPortTest::moduleAnswersThroughTheComPort() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, m_port));
    // A pseudo-terminal has no modem lines: raising RTS and DTR must not fail the open.
    QVERIFY2(session.messages.shown().isEmpty(), qPrintable(session.messages.texts().join("")));

    QString version;
    QCOMPARE(modProg::CheckModule(session.link, version), modProg::ModuleCheck::Supported);
    QCOMPARE(version, QStringLiteral("v2.0"));
    QVERIFY(!queriedName(session).isEmpty());
    modComm::ClosePort(session.link);
}

void ComPortTest::successfulOpenIsStoredInTheRegistry() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, m_port));
    modComm::ClosePort(session.link);

    const QSettings registry(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Cordelo Setup"),
        QSettings::NativeFormat);
    QCOMPARE(registry.value("Properties/CommPort").toString(), QString::number(m_port));
}

void ComPortTest::lastCommandArrivesWholeWhenClosedAtOnce() {
    const QString name = QStringLiteral("Drained-%1").arg(QTime::currentTime().msec());
    {
        Session session;
        QVERIFY(modComm::OpenPort(session.link, m_port));
        modComm::SendCommand(session.link,
                             modProg::ComposeCommand(modProg::ParameterCommand::Name, name));
        modComm::ClosePort(session.link);
    }
    Session again;
    QVERIFY(modComm::OpenPort(again.link, m_port));
    QVERIFY(modProg::PingModule(again.link));
    QCOMPARE(queriedName(again), name);
    modComm::ClosePort(again.link);
}

QTEST_GUILESS_MAIN(ComPortTest)
#include "tst_com_port.moc"
