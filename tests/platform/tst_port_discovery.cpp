// What COM1 to COM16 open on Linux, proven on scratch device trees: onboard UARTs, USB
// and Bluetooth adapters in any plug order, hand-made mappings, unplugged adapters.
#include "platform/port_names.h"

#include "memory_settings_store.h"
#include "scratch_port_tree.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QString kFtdi = QStringLiteral("FT232R USB UART|FTDI|A10K1234");

// "ttyS0" a UART, "ttyS1:0" one without hardware, "ttyS2:" one sysfs says nothing of,
// "ttyUSB0=usb-A" an adapter with its by-id name, "ttyACM0=" one without, "rfcomm0" a
// Bluetooth link, a trailing "!" an adapter unplugged since.
void Build(doubles::ScratchPortTree& scratch, const QStringList& devices) {
    for (const QString& item : devices) {
        const QString name = item.section(QRegularExpression("[:=]"), 0, 0);
        if (name.startsWith("ttyS"))
            scratch.addUart(name.mid(4).toInt(), item.contains(':') ? item.section(':', 1) : "4");
        else if (name.startsWith("rfcomm"))
            scratch.addRfcomm(name);
        else
            scratch.addUsbAdapter(name, item.section('=', 1).remove('!'), kFtdi);
        if (item.endsWith('!'))
            QFile::remove(scratch.path("dev/" + name));
    }
}

} // namespace

class PortDiscoveryTest : public QObject {
    Q_OBJECT

private slots:
    void numbersFollowTheRules_data();
    void numbersFollowTheRules();
    void entrySaysWhatItOpens_data();
    void entrySaysWhatItOpens();
};

void PortDiscoveryTest::numbersFollowTheRules_data() {
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("mapped");
    QTest::addColumn<QStringList>("present");

    QTest::newRow("phantom ttyS0 gives COM1 to the adapter")
        << QStringList{"ttyS0:0", "ttyS1", "ttyUSB0=usb-A"} << QStringList{}
        << QStringList{"COM1=usb-A", "COM2=ttyS1"};
    QTest::newRow("real and unjudged UARTs keep their numbers")
        << QStringList{"ttyS0", "ttyS2:", "ttyUSB0=usb-A"} << QStringList{}
        << QStringList{"COM1=ttyS0", "COM2=usb-A", "COM3=ttyS2"};
    QTest::newRow("two adapters plugged A, B")
        << QStringList{"ttyUSB0=usb-A", "ttyUSB1=usb-B"} << QStringList{}
        << QStringList{"COM1=usb-A", "COM2=usb-B"};
    QTest::newRow("two adapters plugged B, A")
        << QStringList{"ttyUSB0=usb-B", "ttyUSB1=usb-A"} << QStringList{}
        << QStringList{"COM1=usb-A", "COM2=usb-B"};
    QTest::newRow("three adapters plugged C, A, B")
        << QStringList{"ttyS0", "ttyUSB0=usb-C", "ttyACM0=usb-A", "ttyUSB1=usb-B"} << QStringList{}
        << QStringList{"COM1=ttyS0", "COM2=usb-A", "COM3=usb-B", "COM4=usb-C"};
    QTest::newRow("three adapters plugged B, C, A")
        << QStringList{"ttyS0", "ttyACM0=usb-B", "ttyUSB0=usb-C", "ttyUSB1=usb-A"} << QStringList{}
        << QStringList{"COM1=ttyS0", "COM2=usb-A", "COM3=usb-B", "COM4=usb-C"};
    QTest::newRow("a mapping takes an adapter's number and device")
        << QStringList{"ttyUSB0=usb-A", "ttyUSB1=usb-B"} << QStringList{"COM1=@/ttyUSB1"}
        << QStringList{"COM1=usb-B", "COM2=usb-A"};
    QTest::newRow("a mapping to nothing still wins")
        << QStringList{"ttyS0", "ttyUSB0=usb-A"} << QStringList{"COM1=@/ttyUSB9"}
        << QStringList{"COM2=usb-A"};
    QTest::newRow("an adapter unplugged")
        << QStringList{"ttyUSB0=usb-A", "ttyUSB1=usb-B!", "ttyUSB2=usb-C"} << QStringList{}
        << QStringList{"COM1=usb-A", "COM2=usb-C"};
    QTest::newRow("Bluetooth and unnamed adapters after named ones")
        << QStringList{"rfcomm0", "ttyACM0=", "ttyUSB5=usb-Z"} << QStringList{}
        << QStringList{"COM1=usb-Z", "COM2=rfcomm0", "COM3=ttyACM0"};
}

void PortDiscoveryTest::numbersFollowTheRules() {
    QFETCH(QStringList, devices);
    QFETCH(QStringList, mapped);
    QFETCH(QStringList, present);
    doubles::ScratchPortTree scratch;
    Build(scratch, devices);
    doubles::MemorySettingsStore settings;
    for (const QString& line : mapped)
        settings.setValue("Ports", line.section('=', 0, 0),
                          line.section(QLatin1Char('='), 1).replace('@', scratch.path("dev")));

    const QList<platform::PortAssignment> ports = platform::DiscoverPorts(settings, scratch.tree());

    QCOMPARE(ports.size(), 16);
    QStringList found;
    for (const platform::PortAssignment& port : ports) {
        QCOMPARE(platform::DeviceForPort(settings, port.portNumber, scratch.tree()), port.device);
        if (port.present)
            found << QStringLiteral("COM%1=").arg(port.portNumber) +
                         QFileInfo(platform::LastingName(port)).fileName();
        else if (mapped.filter(QStringLiteral("COM%1=").arg(port.portNumber)).isEmpty())
            QCOMPARE(port.device, scratch.path("dev/ttyS%1").arg(port.portNumber - 1));
    }
    QCOMPARE(found, present);
}

void PortDiscoveryTest::entrySaysWhatItOpens_data() {
    QTest::addColumn<QString>("strings");
    QTest::addColumn<QString>("summary");

    QTest::newRow("maker, model and serial")
        << kFtdi << "ttyUSB0: " + kFtdi.section('|', 0, 0) + " (FTDI), serial A10K1234";
    QTest::newRow("maker only") << "|FTDI|"
                                << "ttyUSB0: FTDI";
    QTest::newRow("no strings") << "||"
                                << "ttyUSB0: USB serial adapter 0403:6001";
    QTest::newRow("nothing plugged in") << ""
                                        << "ttyS0: nothing is plugged in";
}

void PortDiscoveryTest::entrySaysWhatItOpens() {
    QFETCH(QString, strings);
    QFETCH(QString, summary);
    doubles::ScratchPortTree scratch;
    if (!strings.isEmpty())
        scratch.addUsbAdapter("ttyUSB0", "usb-X", strings);

    const auto ports = platform::DiscoverPorts(doubles::MemorySettingsStore(), scratch.tree());

    QCOMPARE(platform::PortSummary(ports.first()), scratch.path("dev/") + summary);
}

QTEST_GUILESS_MAIN(PortDiscoveryTest)
#include "tst_port_discovery.moc"
