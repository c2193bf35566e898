#include "line_settings.h"

#include <QStringList>

namespace platform {
namespace {

std::optional<QSerialPort::Parity> ParseParity(const QString& letter) {
    if (letter == QLatin1String("N"))
        return QSerialPort::NoParity;
    if (letter == QLatin1String("E"))
        return QSerialPort::EvenParity;
    if (letter == QLatin1String("O"))
        return QSerialPort::OddParity;
    if (letter == QLatin1String("M"))
        return QSerialPort::MarkParity;
    if (letter == QLatin1String("S"))
        return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> ParseStopBits(const QString& count) {
    if (count == QLatin1String("1"))
        return QSerialPort::OneStop;
    if (count == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (count == QLatin1String("2"))
        return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<LineSettings> ParseLineSettings(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;

    bool baudOk = false;
    const int baud = parts[0].toInt(&baudOk);
    bool bitsOk = false;
    const int dataBits = parts[2].toInt(&bitsOk);
    const auto parity = ParseParity(parts[1].toUpper());
    const auto stopBits = ParseStopBits(parts[3]);
    if (!baudOk || baud <= 0 || !bitsOk || dataBits < 5 || dataBits > 8 || !parity || !stopBits)
        return std::nullopt;

    return LineSettings{baud, *parity, static_cast<QSerialPort::DataBits>(dataBits), *stopBits};
}

} // namespace platform
