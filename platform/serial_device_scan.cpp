#include "serial_device_scan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <optional>

namespace platform {
namespace {

// The kernel's PORT_UNKNOWN: a ttyS node with no UART behind it.
constexpr int kUnknownUartType = 0;
// From a tty's sysfs device up to its USB device: port, interface, device.
constexpr int kUsbLevelsUp = 4;

QString ReadLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

std::optional<bool> KernelSaysUart(const QString& node) {
#ifdef Q_OS_LINUX
    const int fd =
        ::open(QFile::encodeName(node).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    serial_struct info{};
    const int result = ::ioctl(fd, TIOCGSERIAL, &info);
    ::close(fd);
    if (result != 0)
        return std::nullopt;
    return info.type != PORT_UNKNOWN;
#else
    Q_UNUSED(node);
    return std::nullopt;
#endif
}

// sysfs tells without opening the port: an open raises DTR and RTS, which resets some
// boards. The kernel is asked only when sysfs does not say; what neither can judge counts
// as a real port, so it keeps its number.
bool HasUart(const PortTree& tree, const QString& name) {
    bool isNumber = false;
    const int type = ReadLine(tree.sysTty + QLatin1Char('/') + name + "/type").toInt(&isNumber);
    if (isNumber)
        return type != kUnknownUartType;
    return KernelSaysUart(tree.devices + QLatin1Char('/') + name).value_or(true);
}

// The USB device above a tty carries the maker, model and serial number.
QString UsbDescription(const PortTree& tree, const QString& name) {
    const QString device =
        QFileInfo(tree.sysTty + QLatin1Char('/') + name + "/device").canonicalFilePath();
    if (device.isEmpty())
        return {};
    QDir dir(device);
    for (int level = 0; level < kUsbLevelsUp; ++level) {
        if (dir.exists(QStringLiteral("idVendor"))) {
            QString model = ReadLine(dir.filePath("product"));
            const QString maker = ReadLine(dir.filePath("manufacturer"));
            if (model.isEmpty() && maker.isEmpty())
                model = QStringLiteral("USB serial adapter %1:%2")
                            .arg(ReadLine(dir.filePath("idVendor")),
                                 ReadLine(dir.filePath("idProduct")));
            return DescribeAdapter(model, maker, ReadLine(dir.filePath("serial")));
        }
        if (!dir.cdUp())
            break;
    }
    return {};
}

// "ttyS" matches ttyS0 and ttyS12; "tty" matches tty, tty0 and tty63.
bool IsNumbered(QStringView name, QStringView prefix) {
    if (!name.startsWith(prefix))
        return false;
    const QStringView number = name.mid(prefix.size());
    return std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); });
}

QString Describe(const PortTree& tree, const QString& name) {
    if (IsNumbered(name, u"rfcomm"))
        return QStringLiteral("Bluetooth serial link");
    const QString usb = UsbDescription(tree, name);
    return usb.isEmpty() ? QStringLiteral("serial port") : usb;
}

// The digits of a number without its leading zeros.
QStringView Significant(QStringView digits) {
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.sliced(1);
    return digits;
}

// Digits compare as numbers, so rfcomm2 comes before rfcomm10.
bool NaturallyBefore(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QStringView numberA = Significant(a.sliced(startA, i - startA));
            const QStringView numberB = Significant(b.sliced(startB, j - startB));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QString DescribeAdapter(const QString& model, const QString& maker, const QString& serial) {
    QString text = model.isEmpty() || maker.isEmpty() ? model + maker
                                                      : model + " (" + maker + QLatin1Char(')');
    if (!serial.isEmpty())
        text += ", serial " + serial;
    return text;
}

SerialDevices ScanSerialDevices(const PortTree& tree) {
    SerialDevices found;
    const QDir devices(tree.devices);
    for (int n = 0; n < kPortCount; ++n) {
        const QString name = QStringLiteral("ttyS%1").arg(n);
        if (devices.exists(name) && HasUart(tree, name))
            found.onboard.insert(n, {devices.filePath(name), {}, "onboard serial port"});
    }

    QStringList taken;
    const QDir byId(tree.byId);
    QStringList links = byId.entryList(QDir::Files | QDir::System);
    std::sort(links.begin(), links.end(), NaturallyBefore);
    for (const QString& link : links) {
        const QString name = QFileInfo(QFileInfo(byId.filePath(link)).symLinkTarget()).fileName();
        // A link left behind by an unplugged adapter leads nowhere.
        if (name.isEmpty() || taken.contains(name) || !devices.exists(name))
            continue;
        taken << name;
        // An onboard UART with a by-id link keeps its own number; the link only names it.
        const auto uart =
            std::find_if(found.onboard.begin(), found.onboard.end(),
                         [&](const SerialDevice& d) { return d.node == devices.filePath(name); });
        if (uart != found.onboard.end()) {
            uart->byIdPath = byId.filePath(link);
            continue;
        }
        found.adapters.append({devices.filePath(name), byId.filePath(link), Describe(tree, name)});
    }

    // Adapters without a by-id link: Bluetooth links, whose numbers the user binds and so
    // last, then what udev did not name; each by number within its kind.
    const QDir sysTty(tree.sysTty);
    QStringList names = sysTty.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const bool linkA = IsNumbered(a, u"rfcomm");
        const bool linkB = IsNumbered(b, u"rfcomm");
        return linkA != linkB ? linkA : NaturallyBefore(a, b);
    });
    for (const QString& name : names) {
        // Onboard UARTs are done; virtual consoles are never adapters, and there are dozens.
        if (taken.contains(name) || IsNumbered(name, u"ttyS") || IsNumbered(name, u"tty"))
            continue;
        const bool hardware = QFileInfo::exists(sysTty.filePath(name) + "/device");
        if (!(hardware || IsNumbered(name, u"rfcomm")) || !devices.exists(name))
            continue;
        found.adapters.append({devices.filePath(name), {}, Describe(tree, name)});
    }
    return found;
}

} // namespace platform
