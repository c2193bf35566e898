#include "unit_values.h"

namespace production_run {

QString FillPlaceholders(const QString& text, const UnitValues& unit) {
    QString filled = text;
    filled.replace(QLatin1String("{com}"), QString::number(unit.com));
    filled.replace(QLatin1String("{addr4}"), unit.addr4);
    filled.replace(QLatin1String("{n}"), QString::number(unit.n));
    filled.replace(kUnitPlaceholder, unit.unit > 0 ? QString::number(unit.unit) : QString());
    return filled;
}

std::optional<QString> PlaceholderWithoutValue(const QString& text, const UnitValues& unit) {
    if (unit.com == 0 && text.contains(QLatin1String("{com}")))
        return QStringLiteral("{com} has no value: the port was given by its device path, "
                              "not as COMn");
    if (unit.addr4.isEmpty() && text.contains(QLatin1String("{addr4}")))
        return QStringLiteral("{addr4} has no value: the module reported no device address");
    return std::nullopt;
}

QString LastFourHexDigits(const QString& deviceAddress) {
    QString digits;
    for (const QChar c : deviceAddress) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            digits += c;
    }
    return digits.right(4);
}

} // namespace production_run
