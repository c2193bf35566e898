// Writing the settings: the command order for each role, stopping at the first
// command not acknowledged, and values sent exactly as the window holds them.
#include "module_protocol/settings_write.h"
#include "serial_link/port_session.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;
using namespace std::chrono_literals;

namespace {

modProg::SettingsToWrite SlaveSettings() {
    modProg::SettingsToWrite settings;
    settings.name = QStringLiteral("Bench");
    settings.pinCode = QStringLiteral("0000");
    settings.baudRate = QStringLiteral("9600");
    settings.stopBits = QStringLiteral("1");
    settings.parityLetter = QStringLiteral("N");
    settings.master = false;
    settings.connectAddress = QStringLiteral("1234 56 78 9abc");
    settings.discoverable = true;
    settings.pinRequest = true;
    return settings;
}

QList<QByteArray> Sequence(std::initializer_list<const char*> commands) {
    QList<QByteArray> sequence;
    for (const char* command : commands)
        sequence << QByteArray(command);
    return sequence;
}

} // namespace

class SettingsWriteTest : public QObject {
    Q_OBJECT

private slots:
    void writesInOrder_data();
    void writesInOrder();
    void stopsAtFirstUnacknowledged_data();
    void stopsAtFirstUnacknowledged();
    void flushesOnceBeforeTheFirstCommand();
    void acknowledgementIsExact();
};

void SettingsWriteTest::writesInOrder_data() {
    QTest::addColumn<modProg::SettingsToWrite>("settings");
    QTest::addColumn<QList<QByteArray>>("commands");

    QTest::newRow("slave") << SlaveSettings()
                           << Sequence({"<NAME=Bench>", "<PKEY=0000>", "<BAUD=9600>", "<SBIT=1>",
                                        "<PRTY=N>", "<SLAVE>", "<DISCOVERABLE>", "<PIN_ON>"});

    auto master = SlaveSettings();
    master.master = true;
    master.discoverable = false;
    QTest::newRow("master") << master
                            << Sequence({"<NAME=Bench>", "<PKEY=0000>", "<BAUD=9600>", "<SBIT=1>",
                                         "<PRTY=N>", "<MASTER>", "<ADDR=1234 56 78 9abc>",
                                         "<INVISIBLE>", "<PIN_ON>"});

    auto pinOff = SlaveSettings();
    pinOff.pinRequest = false;
    pinOff.parityLetter = QStringLiteral("E");
    pinOff.name = QStringLiteral("  padded  ");
    QTest::newRow("pin off, even parity, blanks kept")
        << pinOff
        << Sequence({"<NAME=  padded  >", "<PKEY=0000>", "<BAUD=9600>", "<SBIT=1>", "<PRTY=E>",
                     "<SLAVE>", "<DISCOVERABLE>", "<PIN_OFF>"});
}

void SettingsWriteTest::writesInOrder() {
    QFETCH(modProg::SettingsToWrite, settings);
    QFETCH(QList<QByteArray>, commands);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.setOnWrite([&](const QByteArray&) { test.port.feed("[OK]", 20ms); });

    QVERIFY(modProg::WriteSettings(link, settings));
    QCOMPARE(test.port.written(), commands);
    // Each acknowledgement is read at the first poll after it came.
    QCOMPARE(test.pacing.elapsed(), commands.size() * 100ms);
}

void SettingsWriteTest::stopsAtFirstUnacknowledged_data() {
    QTest::addColumn<bool>("master");
    QTest::addColumn<QByteArray>("unanswered");
    QTest::addColumn<int>("sent");

    QTest::newRow("silent module") << false << QByteArray("<NAME=Bench>") << 1;
    QTest::newRow("address refused") << true << QByteArray("<ADDR=1234 56 78 9abc>") << 7;
    QTest::newRow("pin request refused") << false << QByteArray("<PIN_ON>") << 8;
}

void SettingsWriteTest::stopsAtFirstUnacknowledged() {
    QFETCH(bool, master);
    QFETCH(QByteArray, unanswered);
    QFETCH(int, sent);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.setOnWrite([&](const QByteArray& text) {
        if (text != unanswered)
            test.port.feed("[OK]", 20ms);
    });
    auto settings = SlaveSettings();
    settings.master = master;

    QVERIFY(!modProg::WriteSettings(link, settings));
    QCOMPARE(test.port.written().size(), sent);
    QCOMPARE(test.port.written().last(), unanswered);
}

void SettingsWriteTest::flushesOnceBeforeTheFirstCommand() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.feed("[OK]");
    test.port.setOnWrite([&](const QByteArray& text) {
        // Only the acknowledgement of the last command comes back.
        if (text == "<PIN_ON>")
            test.port.feed("[OK]", 20ms);
    });

    QVERIFY(!modProg::WriteSettings(link, SlaveSettings()));
    QCOMPARE(test.port.written().size(), 1);
    // Once when the port opened, once before the commands.
    QCOMPARE(test.port.operations().filter("Discard").size(), 2);
}

void SettingsWriteTest::acknowledgementIsExact() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.setOnWrite([&](const QByteArray&) { test.port.feed("[ok]", 20ms); });

    QVERIFY(!modProg::WriteSettings(link, SlaveSettings()));
    QCOMPARE(test.port.written().size(), 1);
}

QTEST_GUILESS_MAIN(SettingsWriteTest)
#include "tst_settings_write.moc"
