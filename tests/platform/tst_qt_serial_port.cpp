// The real serial port through a pseudo-terminal: what reaches the wire, what the
// settings store keeps, and what happens when the device goes away.
#include "platform/machine_ports.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

#include "memory_settings_store.h"
#include "process_cpu_time.h"
#include "pty_pair.h"
#include "recording_message_box.h"
#include "scratch_port_tree.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

class QtSerialPortTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void commandReachesTheWireByteForByte();
    void readPullsWhatArrivedWithoutEventLoop();
    void failedOpenOfMissingDeviceExplains();
    void failedOpenOfRegularFileExplains();
    void relativeDevicePathOpensFromTheWorkingDirectory();
    void successfulOpenIsStoredOnDisk();
    void adapterPluggedAfterStartOpensAndIsRemembered();
    void lastCommandArrivesWholeWhenClosedAtOnce();
    void closeGivesUpOnOutputTheAdapterBarelyTakes();
    void vanishedPeerClosesThePortWithoutSpinning();

private:
    struct Session {
        platform::QtSettingsStore settings;
        platform::QtSerialPort port{settings};
        doubles::RecordingMessageBox messages;
        platform::QtPacing pacing;
        platform::Platform platform{port, settings, messages, pacing};
        modComm::Link link{platform, {}};
    };

    QTemporaryDir m_config;
    std::unique_ptr<doubles::PtyPair> m_pty;
};

void QtSerialPortTest::initTestCase() {
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void QtSerialPortTest::init() {
    m_pty = std::make_unique<doubles::PtyPair>();
    if (!m_pty->isValid())
        QSKIP("This system gives no pseudo-terminals");
    platform::QtSettingsStore().setValue("Ports", "COM3", m_pty->slavePath());
}

void QtSerialPortTest::commandReachesTheWireByteForByte() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, 3));
    // A pseudo-terminal has no RTS line; that must not fail the open.
    QVERIFY(session.messages.shown().isEmpty());

    modComm::SendCommand(session.link, QStringLiteral("<PING>"));
    QCOMPARE(m_pty->read(6, 2s), QByteArray("<PING>"));
    QCOMPARE(m_pty->read(1, 100ms), QByteArray());
}

void QtSerialPortTest::readPullsWhatArrivedWithoutEventLoop() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, 3));
    m_pty->write("[READY]");

    QByteArray received;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (received.size() < 7 && std::chrono::steady_clock::now() < deadline) {
        received += session.port.readAll();
        std::this_thread::sleep_for(1ms);
    }
    QCOMPARE(received, QByteArray("[READY]"));
}

void QtSerialPortTest::failedOpenOfMissingDeviceExplains() {
    Session session;
    session.settings.setValue("Properties", "CommPort", "7");
    session.settings.setValue("Ports", "COM5", m_config.filePath("no-such-adapter"));

    QVERIFY(!modComm::OpenPort(session.link, 5));

    QVERIFY(!session.port.isOpen());
    QCOMPARE(session.messages.shown().size(), 1);
    const QString text = session.messages.shown().first().text;
    QVERIFY2(text.startsWith("Error while opening COM5 !\r\n"), qPrintable(text));
    QVERIFY2(text.contains(m_config.filePath("no-such-adapter")), qPrintable(text));
    QVERIFY2(text.contains("COM5=/dev/ttyUSB0"), qPrintable(text));
    QCOMPARE(session.settings.value("Properties", "CommPort", "none"), QStringLiteral("7"));
}

void QtSerialPortTest::failedOpenOfRegularFileExplains() {
    Session session;
    QFile file(m_config.filePath("plain-file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    session.settings.setValue("Ports", "COM6", file.fileName());

    QVERIFY(!modComm::OpenPort(session.link, 6));
    QVERIFY(!session.port.isOpen());
    QVERIFY2(session.messages.texts().join("").contains("not a serial device"),
             qPrintable(session.messages.texts().join("")));
}

void QtSerialPortTest::relativeDevicePathOpensFromTheWorkingDirectory() {
    QTemporaryDir bench;
    QVERIFY(QDir(bench.path()).mkdir("slots"));
    QVERIFY(QFile::link(m_pty->slavePath(), bench.filePath("slots/slot1")));
    const QString started = QDir::currentPath();
    QVERIFY(QDir::setCurrent(bench.path()));
    const platform::QtSettingsStore settings;
    const auto port = platform::MachinePorts().make("slots/slot1", settings);
    const bool opened = port->open();
    QDir::setCurrent(started);
    QVERIFY2(opened, qPrintable(port->errorDescription()));
}

void QtSerialPortTest::successfulOpenIsStoredOnDisk() {
    Session session;
    session.settings.setValue("Ports", "COM12", m_pty->slavePath());

    QVERIFY(modComm::OpenPort(session.link, 12));

    QFile stored(platform::QtSettingsStore::location());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray ini = stored.readAll();
    QVERIFY2(ini.contains("\nCommPort=12\n"), ini.constData());
    QVERIFY2(ini.contains("[Properties]\nCommDevice=" + m_pty->slavePath().toLocal8Bit() + '\n'),
             ini.constData());
}

void QtSerialPortTest::adapterPluggedAfterStartOpensAndIsRemembered() {
    doubles::ScratchPortTree scratch;
    doubles::MemorySettingsStore settings;
    platform::QtSerialPort port{settings, scratch.tree()};
    doubles::RecordingMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    modComm::Link link{platform, {}};
    QVERIFY(!modComm::OpenPort(link, 1));

    scratch.addUsbAdapter("ttyUSB0", "usb-FTDI_A10K1234", "FT232R|FTDI|A10K1234",
                          m_pty->slavePath());

    QVERIFY(modComm::OpenPort(link, 1));
    modComm::SendCommand(link, QStringLiteral("<PING>"));
    QCOMPARE(m_pty->read(6, 2s), QByteArray("<PING>"));
    QCOMPARE(settings.value("Properties", "CommDevice", {}),
             scratch.path("dev/serial/by-id/usb-FTDI_A10K1234"));
}

void QtSerialPortTest::lastCommandArrivesWholeWhenClosedAtOnce() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, 3));

    modComm::SendCommand(session.link, QStringLiteral("<RESET>"));
    modComm::ClosePort(session.link);

    QCOMPARE(m_pty->read(7, 2s), QByteArray("<RESET>"));
}

void QtSerialPortTest::closeGivesUpOnOutputTheAdapterBarelyTakes() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, 3));
    // The adapter holds the line, so that the whole text stays queued in the port.
    const int line = ::open(qPrintable(m_pty->slavePath()), O_RDWR | O_NOCTTY);
    QVERIFY(line >= 0);
    QVERIFY(::tcflow(line, TCOOFF) == 0);
    const QByteArray queued(512 * 1024, 'x');
    session.port.write(queued);
    // Then it takes a trickle: all of it would need more than ten seconds.
    QVERIFY(::tcflow(line, TCOON) == 0);
    std::atomic<bool> closed{false};
    qsizetype delivered = 0;
    std::thread adapter([&] {
        while (!closed) {
            delivered += m_pty->read(1, 100ms).size();
            std::this_thread::sleep_for(100ms);
        }
        for (QByteArray rest; !(rest = m_pty->read(1, 200ms)).isEmpty();)
            delivered += rest.size();
    });

    session.port.close();
    closed = true;
    adapter.join();
    ::close(line);

    QVERIFY(!session.port.isOpen());
    QVERIFY2(delivered < queued.size(), qPrintable(QString::number(delivered) + " bytes sent"));
}

void QtSerialPortTest::vanishedPeerClosesThePortWithoutSpinning() {
    Session session;
    QVERIFY(modComm::OpenPort(session.link, 3));

    m_pty->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!session.port.isOpen(), 1000);

    const auto cpuBefore = doubles::ProcessCpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - wallBefore < 500ms)
        QTest::qWait(20);
    const auto cpuUsed = doubles::ProcessCpuTime() - cpuBefore;
    QVERIFY2(cpuUsed < 200ms, qPrintable(QString::number(cpuUsed.count()) + " us of CPU"));

    QCOMPARE(modComm::ReadToken(session.link), QString());
    modComm::SendCommand(session.link, QStringLiteral("<PING>"));
    QVERIFY(!session.port.isOpen());
}

QTEST_GUILESS_MAIN(QtSerialPortTest)
#include "tst_qt_serial_port.moc"
