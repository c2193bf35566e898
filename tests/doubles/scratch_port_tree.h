// A made-up /dev, /dev/serial/by-id and /sys/class/tty in a temporary folder, to prove what
// each COM number opens without hardware.
#pragma once

#include "platform/port_discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace doubles {

class ScratchPortTree {
public:
    QString path(const QString& relative) const { return m_root.filePath(relative); }
    platform::PortTree tree() const {
        return {path("dev"), path("dev/serial/by-id"), path("sys/class/tty")};
    }

    // A tty node and its sysfs entry, with the UART type sysfs gives unless `type` is empty.
    void addTty(const QString& name, const QString& type = {}) {
        write("dev/" + name, {});
        write("sys/class/tty/" + name + (type.isEmpty() ? "/dev" : "/type"), type);
    }
    // A USB adapter with "product|manufacturer|serial", linked by-id unless byId is empty; its
    // node leads to `target` (a pseudo-terminal) when given.
    void addUsbAdapter(const QString& name, const QString& byId, const QString& strings,
                       const QString& target = {}) {
        target.isEmpty() ? write("dev/" + name, {}) : link(target, "dev/" + name);
        if (!byId.isEmpty())
            link("../../" + name, "dev/serial/by-id/" + byId);
        const QString usb = "sys/devices/usb1/" + name;
        const QStringList values = (strings + "|0403|6001").split('|');
        const QStringList files = {"product", "manufacturer", "serial", "idVendor", "idProduct"};
        for (int i = 0; i < files.size(); ++i) {
            if (!values[i].isEmpty())
                write(usb + '/' + files[i], values[i]);
        }
        QDir().mkpath(path(usb + "/if/" + name));
        link("../../../devices/usb1/" + name + "/if/" + name, "sys/class/tty/" + name + "/device");
    }

private:
    void write(const QString& relative, const QString& text) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
    void link(const QString& target, const QString& relative) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile::link(target, path(relative));
    }

    QTemporaryDir m_root;
};

} // namespace doubles
