// What COM1 to COM16 open on Linux, proven on scratch device trees: onboard UARTs, USB
// and Bluetooth adapters in any plug order, hand-made mappings, unplugged adapters.
#include "platform/port_names.h"

#include "memory_settings_store.h"
#include "scratch_port_tree.h"

#include <QRegularExpression>
#include <QTest>

class PortDiscoveryTest : public QObject {
    Q_OBJECT

private slots:
    void numbersFollowTheRules_data();
    void numbersFollowTheRules();
};

void PortDiscoveryTest::numbersFollowTheRules_data() {
    // "ttyS0:4" a UART, "ttyS1:0" a node without one, "ttyS2" one sysfs says nothing of,
    // "ttyUSB0=usb-A" an adapter and its by-id name, "ttyACM0=" one without, "rfcomm0" a
    // Bluetooth link, a trailing "!" an adapter unplugged since. "@" is the scratch /dev.
    QTest::addColumn<QString>("devices");
    QTest::addColumn<QString>("mapped");
    QTest::addColumn<QString>("present");

    QTest::newRow("phantom ttyS0") << "ttyS0:0 ttyS1:4 ttyUSB0=usb-A"
                                   << ""
                                   << "COM1=usb-A COM2=ttyS1";
    QTest::newRow("real and unjudged UARTs") << "ttyS0:4 ttyS2 ttyUSB0=usb-A"
                                             << ""
                                             << "COM1=ttyS0 COM2=usb-A COM3=ttyS2";
    QTest::newRow("two plugged A, B") << "ttyUSB0=usb-A ttyUSB1=usb-B"
                                      << ""
                                      << "COM1=usb-A COM2=usb-B";
    QTest::newRow("two plugged B, A") << "ttyUSB0=usb-B ttyUSB1=usb-A"
                                      << ""
                                      << "COM1=usb-A COM2=usb-B";
    QTest::newRow("three plugged C, A, B") << "ttyS0:4 ttyUSB0=usb-C ttyACM0=usb-A ttyUSB1=usb-B"
                                           << ""
                                           << "COM1=ttyS0 COM2=usb-A COM3=usb-B COM4=usb-C";
    QTest::newRow("three plugged B, C, A") << "ttyS0:4 ttyACM0=usb-B ttyUSB0=usb-C ttyUSB1=usb-A"
                                           << ""
                                           << "COM1=ttyS0 COM2=usb-A COM3=usb-B COM4=usb-C";
    QTest::newRow("mapping takes a number and its adapter") << "ttyUSB0=usb-A ttyUSB1=usb-B"
                                                            << "COM1=@/ttyUSB1"
                                                            << "COM1=usb-B COM2=usb-A";
    QTest::newRow("mapping to nothing") << "ttyS0:4 ttyUSB0=usb-A"
                                        << "COM1=@/ttyUSB9"
                                        << "COM2=usb-A";
    QTest::newRow("adapter unplugged") << "ttyUSB0=usb-A ttyUSB1=usb-B! ttyUSB2=usb-C"
                                       << ""
                                       << "COM1=usb-A COM2=usb-C";
    QTest::newRow("unnamed after named") << "rfcomm0 ttyACM0= ttyUSB5=usb-Z"
                                         << ""
                                         << "COM1=usb-Z COM2=rfcomm0 COM3=ttyACM0";
    QTest::newRow("numbers in a name sort as numbers")
        << "ttyACM10= ttyACM2= rfcomm10 rfcomm2 ttyUSB0=usb-A10 ttyUSB1=usb-A9"
        << ""
        << "COM1=usb-A9 COM2=usb-A10 COM3=rfcomm2 COM4=rfcomm10 COM5=ttyACM2 COM6=ttyACM10";
    // One device, one number.
    QTest::newRow("mapping takes an onboard UART") << "ttyS0:4 ttyUSB0=usb-A"
                                                   << "COM5=@/ttyS0"
                                                   << "COM1=usb-A COM5=ttyS0";
    QTest::newRow("by-id link to an onboard UART") << "ttyS0=pci-serial ttyUSB0=usb-A"
                                                   << ""
                                                   << "COM1=pci-serial COM2=usb-A";
    QTest::newRow("two mappings to one device") << "ttyUSB0=usb-A ttyUSB1=usb-B"
                                                << "COM3=@/serial/by-id/usb-A COM4=@/../dev/ttyUSB0"
                                                << "COM1=usb-B COM3=usb-A";
}

void PortDiscoveryTest::numbersFollowTheRules() {
    QFETCH(QString, devices);
    QFETCH(QString, mapped);
    QFETCH(QString, present);
    doubles::ScratchPortTree scratch;
    for (const QString& item : devices.split(' ')) {
        const QString name = item.section(':', 0, 0).section('=', 0, 0);
        if (item.contains('='))
            scratch.addUsbAdapter(name, item.section('=', 1).remove('!'), "FT232R|FTDI|A10K");
        else
            scratch.addTty(name, item.section(':', 1));
        if (item.endsWith('!'))
            QFile::remove(scratch.path("dev/" + name));
    }
    doubles::MemorySettingsStore settings;
    const QStringList mappings = mapped.split(' ', Qt::SkipEmptyParts);
    for (const QString& mapping : mappings) {
        settings.setValue("Ports", mapping.section('=', 0, 0),
                          mapping.section('=', 1).replace('@', scratch.path("dev")));
    }

    const QList<platform::PortAssignment> ports = platform::DiscoverPorts(settings, scratch.tree());

    QCOMPARE(ports.size(), 16);
    QStringList found;
    for (const platform::PortAssignment& port : ports) {
        QCOMPARE(platform::DeviceForPort(settings, port.portNumber, scratch.tree()), port.device);
        const QString key = QStringLiteral("COM%1").arg(port.portNumber);
        if (port.present) {
            found << key + '=' + QFileInfo(platform::LastingName(port)).fileName();
            if (!port.byIdPath.isEmpty() && !port.device.contains("ttyS"))
                QCOMPARE(platform::PortSummary(port), port.device + ": FT232R (FTDI), serial A10K");
        } else if (!mapped.contains(QRegularExpression("\\b" + key + '=')))
            QCOMPARE(port.device, scratch.path("dev/ttyS%1").arg(port.portNumber - 1));
    }
    QCOMPARE(found.join(' '), present);
}

QTEST_GUILESS_MAIN(PortDiscoveryTest)
#include "tst_port_discovery.moc"
