#include "qt_serial_port.h"

#include "open_error_text.h"
#include "output_drain.h"
#include "port_names.h"
#include "qt_settings_store.h"

#include <QMetaObject>

#include <chrono>
#include <utility>

namespace platform {
namespace {

using namespace std::chrono_literals;

// Bounds what Qt buffers on our behalf when a device floods the line.
constexpr qint64 kReadBufferBytes = 64 * 1024;
// A command is a few dozen bytes: at 9600 baud it leaves in well under this.
constexpr auto kWriteTimeout = 2000ms;
// The reset is 7 bytes, 8 ms at 9600 baud: a second is plenty, and an adapter that stopped
// taking data does not freeze the window for longer.
constexpr auto kCloseDrainLimit = 1000ms;
// waitForReadyRead(0) moves one chunk at a time; a flood must not keep us here.
constexpr int kMaxChunksPerRead = 64;

OpenFailure Classify(QSerialPort::SerialPortError error, const QString& reason) {
    if (reason.contains(QLatin1String("busy"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("lock"), Qt::CaseInsensitive) ||
        error == QSerialPort::OpenError)
        return OpenFailure::Busy;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::NotFound;
    case QSerialPort::PermissionError:
        return OpenFailure::PermissionDenied;
    case QSerialPort::UnsupportedOperationError:
        return OpenFailure::NotSerial;
    default:
        break;
    }
    if (reason.contains(QLatin1String("Inappropriate ioctl"), Qt::CaseInsensitive) ||
        reason.contains(QLatin1String("directory"), Qt::CaseInsensitive))
        return OpenFailure::NotSerial;
    return OpenFailure::Other;
}

} // namespace

QtSerialPort::QtSerialPort(const SettingsStore& settings, PortTree tree, QObject* parent)
    : QObject(parent), m_settings(settings), m_tree(std::move(tree)) {
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::handleError);
}

QtSerialPort::~QtSerialPort() {
    close();
}

void QtSerialPort::setSettings(const QString& settings) {
    if (const auto parsed = ParseLineSettings(settings))
        m_lineSettings = *parsed;
}

bool QtSerialPort::open() {
    m_errorDescription.clear();
    if (m_port.isOpen())
        return true;

    const PortAssignment target = portToOpen();
    m_port.setPortName(target.device);
    m_port.setBaudRate(m_lineSettings.baudRate);
    m_port.setParity(m_lineSettings.parity);
    m_port.setDataBits(m_lineSettings.dataBits);
    m_port.setStopBits(m_lineSettings.stopBits);
    m_port.setReadBufferSize(kReadBufferBytes);
    m_lost = false;

    if (!m_port.open(QIODevice::ReadWrite)) {
        describeOpenFailure(target);
        m_port.clearError();
        return false;
    }
    m_openedDevice = LastingName(target);
    // Pseudo-terminals and some adapters have no modem lines; the port works without RTS.
    if (m_rtsEnable)
        m_port.setRequestToSend(true);
#ifdef Q_OS_WIN
    // Opening a port on POSIX raises DTR by itself; on Windows it must be asked for, and some
    // adapters power the module from it.
    m_port.setDataTerminalReady(true);
#endif
    m_port.clearError();
    return true;
}

PortAssignment QtSerialPort::portToOpen() const {
    if (m_devicePath.isEmpty()) {
        // Worked out again here, so an adapter plugged in since start-up is found.
        return discoverPorts().value(m_commPort - 1);
    }
    PortAssignment given;
    given.device = m_devicePath;
    given.present = true;
    return given;
}

void QtSerialPort::describeOpenFailure(const PortAssignment& target) {
    OpenErrorFacts facts;
    facts.reason = m_port.errorString();
    // A /dev/ttyS node without a UART fails with an I/O error: nothing is plugged in.
    facts.failure = target.present ? Classify(m_port.error(), facts.reason) : OpenFailure::NotFound;
    facts.device = target.device;
    facts.portNumber = m_devicePath.isEmpty() ? m_commPort : 0;
    facts.settingsLocation = QtSettingsStore::location();
    facts.reader = m_adviceFor;
    m_errorDescription = DescribeOpenError(facts);
}

void QtSerialPort::close() {
    if (!m_port.isOpen()) {
        m_lost = false;
        return;
    }
    // The last command (the reset) must leave the machine before the port goes.
    if (!m_lost)
        DrainOutput(m_port, kCloseDrainLimit);
    m_port.close();
    m_lost = false;
}

void QtSerialPort::discardInput() {
    if (isOpen())
        m_port.clear(QSerialPort::Input);
}

void QtSerialPort::write(const QByteArray& text) {
    if (!isOpen())
        return;
    m_port.write(text);
    while (!m_lost && m_port.bytesToWrite() > 0 &&
           m_port.waitForBytesWritten(kWriteTimeout.count())) {
    }
    if (m_lost)
        closeLostPort();
}

QByteArray QtSerialPort::readAll() {
    if (!isOpen()) {
        closeLostPort();
        return {};
    }
    // QSerialPort fills its buffer only from the event loop or a wait: pull what the
    // operating system has received by now.
    for (int chunk = 0; chunk < kMaxChunksPerRead && !m_lost && m_port.waitForReadyRead(0);
         ++chunk) {
    }
    QByteArray received = m_inputLen > 0 ? m_port.read(m_inputLen) : m_port.readAll();
    if (m_lost)
        closeLostPort();
    return received;
}

bool QtSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    if (!isOpen())
        return false;
    if (m_port.bytesAvailable() > 0)
        return true;
    const bool arrived = timeout > std::chrono::milliseconds::zero() &&
                         m_port.waitForReadyRead(static_cast<int>(timeout.count()));
    return arrived && !m_lost;
}

QString QtSerialPort::deviceFor(int portNumber) const {
    if (!m_devicePath.isEmpty())
        return m_devicePath;
    return DeviceForPort(m_settings, portNumber, m_tree);
}

QList<PortAssignment> QtSerialPort::discoverPorts() const {
    return DiscoverPorts(m_settings, m_tree);
}

void QtSerialPort::handleError(QSerialPort::SerialPortError error) {
    // A read error or hang-up means the device is gone. Closing inside Qt's own read
    // path is not safe, so mark it now and close from the event loop or the next call;
    // until then the port reads as closed.
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
        error != QSerialPort::WriteError)
        return;
    if (!m_port.isOpen() || m_lost)
        return;
    m_lost = true;
    QMetaObject::invokeMethod(this, &QtSerialPort::closeLostPort, Qt::QueuedConnection);
}

void QtSerialPort::closeLostPort() {
    if (m_lost && m_port.isOpen()) {
        m_port.close();
    }
    m_lost = false;
}

} // namespace platform
