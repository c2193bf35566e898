// A made-up /dev, /dev/serial/by-id and /sys/class/tty in a temporary folder, so what each
// COM number opens can be proven without hardware.
#pragma once

#include "platform/port_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace doubles {

class ScratchPortTree {
public:
    bool isValid() const { return m_root.isValid(); }
    QString path(const QString& relative) const { return m_root.filePath(relative); }
    platform::PortTree tree() const {
        return {path("dev"), path("dev/serial/by-id"), path("sys/class/tty")};
    }

    // /dev/ttySn with the UART type sysfs gives ("0": none behind it; empty: sysfs is silent).
    void addUart(int n, const QString& type) {
        const QString name = QStringLiteral("ttyS%1").arg(n);
        write("dev/" + name, {});
        write("sys/class/tty/" + name + "/dev", "4:64");
        if (!type.isEmpty())
            write("sys/class/tty/" + name + "/type", type);
    }
    void addRfcomm(const QString& name) {
        write("dev/" + name, {});
        write("sys/class/tty/" + name + "/dev", "216:0");
    }
    // A USB adapter with "product|manufacturer|serial" in sysfs and a by-id link unless byId is
    // empty; its node links to `target` (a pseudo-terminal) when given.
    void addUsbAdapter(const QString& name, const QString& byId, const QString& strings,
                       const QString& target = {}) {
        if (target.isEmpty())
            write("dev/" + name, {});
        else
            link(target, "dev/" + name);
        if (!byId.isEmpty())
            link("../../" + name, "dev/serial/by-id/" + byId);
        const QString usb = "sys/devices/usb1/" + name;
        write(usb + "/idVendor", "0403");
        write(usb + "/idProduct", "6001");
        const QStringList parts = strings.split(QLatin1Char('|'));
        const QStringList files = {"product", "manufacturer", "serial"};
        for (int i = 0; i < files.size(); ++i) {
            if (!parts.value(i).isEmpty())
                write(usb + QLatin1Char('/') + files[i], parts[i]);
        }
        QDir().mkpath(path(usb + "/1-1:1.0/" + name));
        link("../../../devices/usb1/" + name + "/1-1:1.0/" + name,
             "sys/class/tty/" + name + "/device");
    }

private:
    void write(const QString& relative, const QString& text) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8() + '\n');
    }
    void link(const QString& target, const QString& relative) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile::link(target, path(relative));
    }

    QTemporaryDir m_root;
};

} // namespace doubles
