#include "port_names.h"

#include <QDir>
#include <QRegularExpression>

namespace platform {

QString PortKey(int portNumber) {
    return QStringLiteral("COM%1").arg(portNumber);
}

QString DeviceForPort(const SettingsStore& settings, int portNumber, const PortTree& tree) {
    return DiscoverPorts(settings, tree).value(portNumber - 1).device;
}

QString DevicePathOf(const QString& port) {
    if (!port.contains(QLatin1Char('/')) || !QDir::isRelativePath(port))
        return port;
    return QDir::cleanPath(QDir::current().absoluteFilePath(port));
}

int PortNumberOf(const QString& port) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9]|1[0-6])$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace platform
