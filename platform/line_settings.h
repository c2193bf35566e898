// The line settings text of the form "9600,N,8,1": baud, parity letter, data bits,
// stop bits.
#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace platform {

struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

std::optional<LineSettings> ParseLineSettings(const QString& text);

} // namespace platform
