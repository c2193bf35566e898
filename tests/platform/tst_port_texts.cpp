// Port names, line settings and the advice shown when a port does not open.
#include "platform/line_settings.h"
#include "platform/open_error_text.h"
#include "platform/port_names.h"

#include "memory_settings_store.h"

#include <QTest>

using platform::OpenFailure;

class PortTextsTest : public QObject {
    Q_OBJECT

private slots:
    void portResolvesToDevice_data();
    void portResolvesToDevice();
    void lineSettingsParse_data();
    void lineSettingsParse();
    void openErrorGivesReasonDeviceAndAdvice_data();
    void openErrorGivesReasonDeviceAndAdvice();
    void slotOfALineIsAdvisedWithoutAListToChooseFrom();
};

void PortTextsTest::portResolvesToDevice_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("mapped");
    QTest::addColumn<QString>("device");

#ifdef Q_OS_WIN
    QTest::newRow("system name") << 5 << ""
                                 << "COM5";
#else
    QTest::newRow("unmapped COM1") << 1 << ""
                                   << "/dev/ttyS0";
    QTest::newRow("unmapped COM16") << 16 << ""
                                    << "/dev/ttyS15";
    QTest::newRow("mapped") << 5 << "/dev/ttyUSB0"
                            << "/dev/ttyUSB0";
    QTest::newRow("mapped by id") << 2 << "/dev/serial/by-id/usb-FTDI_X-if00"
                                  << "/dev/serial/by-id/usb-FTDI_X-if00";
#endif
}

void PortTextsTest::portResolvesToDevice() {
    QFETCH(int, port);
    QFETCH(QString, mapped);
    QFETCH(QString, device);
    doubles::MemorySettingsStore settings;
    if (!mapped.isEmpty())
        settings.setValue("Ports", QStringLiteral("COM%1").arg(port), mapped);

    // No adapters: an unmapped number opens its ttyS node whether a UART is behind it or not.
    const platform::PortTree withoutAdapters{"/dev", "/nonexistent", "/nonexistent"};
    QCOMPARE(platform::DeviceForPort(settings, port, withoutAdapters), device);
}

void PortTextsTest::lineSettingsParse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");

    QTest::newRow("fixed settings")
        << "9600,N,8,1" << true << 9600 << int(QSerialPort::NoParity) << int(QSerialPort::OneStop);
    QTest::newRow("even, two stops") << "19200,E,7,2" << true << 19200
                                     << int(QSerialPort::EvenParity) << int(QSerialPort::TwoStop);
    QTest::newRow("missing part") << "9600,N,8" << false << 0 << 0 << 0;
    QTest::newRow("bad parity") << "9600,X,8,1" << false << 0 << 0 << 0;
    QTest::newRow("bad baud") << "fast,N,8,1" << false << 0 << 0 << 0;
}

void PortTextsTest::lineSettingsParse() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto parsed = platform::ParseLineSettings(text);

    QCOMPARE(parsed.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QCOMPARE(parsed->baudRate, baud);
    QCOMPARE(int(parsed->parity), parity);
    QCOMPARE(int(parsed->stopBits), stopBits);
}

void PortTextsTest::openErrorGivesReasonDeviceAndAdvice_data() {
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("advice");

#ifndef Q_OS_WIN
    QTest::newRow("missing") << int(OpenFailure::NotFound) << "No such file or directory"
                             << "COM4=/dev/ttyUSB0\nin section [Ports] of /home/u/x.conf";
    QTest::newRow("missing: brltty took it") << int(OpenFailure::NotFound) << "No such file"
                                             << "remove it with \"sudo apt remove brltty\"";
    QTest::newRow("busy: ModemManager probes it")
        << int(OpenFailure::Busy) << "Device or resource busy"
        << "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
    QTest::newRow("no permission") << int(OpenFailure::PermissionDenied) << "Permission denied"
                                   << "dialout";
#endif
    QTest::newRow("busy") << int(OpenFailure::Busy) << "Device or resource busy"
                          << "Another program holds the port";
    QTest::newRow("not serial") << int(OpenFailure::NotSerial) << "Inappropriate ioctl for device"
                                << "not a serial device";
}

void PortTextsTest::openErrorGivesReasonDeviceAndAdvice() {
    QFETCH(int, failure);
    QFETCH(QString, reason);
    QFETCH(QString, advice);
    platform::OpenErrorFacts facts;
    facts.failure = static_cast<OpenFailure>(failure);
    facts.reason = reason;
    facts.device = QStringLiteral("/dev/ttyS3");
    facts.portNumber = 4;
    facts.settingsLocation = QStringLiteral("/home/u/x.conf");

    const QString text = platform::DescribeOpenError(facts);

    QVERIFY2(text.startsWith(reason + ": /dev/ttyS3\n"), qPrintable(text));
    QVERIFY2(text.contains(advice), qPrintable(text));
}

void PortTextsTest::slotOfALineIsAdvisedWithoutAListToChooseFrom() {
    platform::OpenErrorFacts facts;
    facts.failure = OpenFailure::NotFound;
    facts.reason = QStringLiteral("No such file or directory");
    facts.device = QStringLiteral("/dev/ttyUSB3");
    facts.settingsLocation = QStringLiteral("/home/u/x.conf");
    facts.reader = platform::AdviceFor::LineSlot;
    for (const int port : {4, 0}) {
        facts.portNumber = port;
        const QString text = platform::DescribeOpenError(facts);
        QVERIFY2(text.startsWith("No such file or directory: /dev/ttyUSB3\nPlug in the slot's "
                                 "adapter"),
                 qPrintable(text));
        QVERIFY2(!text.contains("choose") && !text.contains("brltty"), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(PortTextsTest)
#include "tst_port_texts.moc"
