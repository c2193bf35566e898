// Opening, closing, flushing and sending on the scripted port.
#include "serial_link/port_session.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;

class PortSessionTest : public QObject {
    Q_OBJECT

private slots:
    void openAppliesLineSettingsInOrder();
    void openStoresPortNumber_data();
    void openStoresPortNumber();
    void openOnOpenPortChangesNothing();
    void failedOpenShowsMessageAndKeepsStoredPort();
    void storeFailureStillOpens();
    void sendWritesExactlyTheText();
    void sendOnClosedPortWritesNothing();
    void closeOnClosedPortDoesNothing();
    void flushDiscardsArrivedInput();
};

void PortSessionTest::openAppliesLineSettingsInOrder() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};

    QVERIFY(modComm::OpenPort(link, 3));
    QCOMPARE(test.port.operations(), (QStringList{"CommPort=3", "Settings=9600,N,8,1",
                                                  "RTSEnable=1", "InputLen=0", "Open", "Discard"}));
}

void PortSessionTest::openStoresPortNumber_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("stored");
    QTest::newRow("COM1") << 1 << "1";
    QTest::newRow("COM12") << 12 << "12";
    QTest::newRow("COM16") << 16 << "16";
}

void PortSessionTest::openStoresPortNumber() {
    QFETCH(int, port);
    QFETCH(QString, stored);
    TestPlatform test;
    modComm::Link link{test.platform, {}};

    QVERIFY(modComm::OpenPort(link, port));
    QCOMPARE(test.settings.value("Properties", "CommPort", "none"), stored);
    QCOMPARE(test.settings.value("Properties", "CommDevice", "none"), "/dev/scripted" + stored);
}

void PortSessionTest::openOnOpenPortChangesNothing() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    QVERIFY(modComm::OpenPort(link, 4));
    const QStringList before = test.port.operations();

    QVERIFY(modComm::OpenPort(link, 9));
    QCOMPARE(test.port.operations(), before);
    QCOMPARE(test.port.commPort(), 4);
    QCOMPARE(test.settings.value("Properties", "CommPort", "none"), QStringLiteral("4"));
    QCOMPARE(test.settings.writes(), 2);
}

void PortSessionTest::failedOpenShowsMessageAndKeepsStoredPort() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.settings.setValue("Properties", "CommPort", "7");
    test.port.failOpen(QStringLiteral("No such file or directory: /dev/ttyS4"));

    QVERIFY(!modComm::OpenPort(link, 5));
    QVERIFY(!test.port.isOpen());
    QCOMPARE(test.messages.shown().size(), 1);
    QCOMPARE(test.messages.shown().first().icon, platform::MessageIcon::Critical);
    QCOMPARE(test.messages.shown().first().text,
             QStringLiteral("Error while opening COM5 !\r\nNo such file or directory: /dev/ttyS4"));
    QCOMPARE(test.settings.value("Properties", "CommPort", "none"), QStringLiteral("7"));
}

void PortSessionTest::storeFailureStillOpens() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.settings.failWrites();

    QVERIFY(modComm::OpenPort(link, 2));
    QVERIFY(test.port.isOpen());
    QVERIFY(test.messages.shown().isEmpty());
}

void PortSessionTest::sendWritesExactlyTheText() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);

    modComm::SendCommand(link, QStringLiteral("<PING>"));
    modComm::SendCommand(link, QStringLiteral("<NAME= a b >"));

    QCOMPARE(test.port.written(), (QList<QByteArray>{"<PING>", "<NAME= a b >"}));
}

void PortSessionTest::sendOnClosedPortWritesNothing() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};

    modComm::SendCommand(link, QStringLiteral("<RESET>"));

    QVERIFY(test.port.written().isEmpty());
}

void PortSessionTest::closeOnClosedPortDoesNothing() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};

    modComm::ClosePort(link);

    QVERIFY(test.port.operations().isEmpty());
}

void PortSessionTest::flushDiscardsArrivedInput() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.feed("[STALE]");
    link.rx.RxBuffer = "[OLD]";

    modComm::FlushInput(link);

    QCOMPARE(link.rx.unscannedSize(), 0);
    QCOMPARE(test.port.readAll(), QByteArray());
}

QTEST_GUILESS_MAIN(PortSessionTest)
#include "tst_port_session.moc"
