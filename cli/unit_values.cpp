#include "unit_values.h"

namespace cli {

QString FillPlaceholders(const QString& text, const UnitValues& unit) {
    QString filled = text;
    filled.replace(QLatin1String("{com}"), unit.com > 0 ? QString::number(unit.com) : QString());
    filled.replace(QLatin1String("{addr4}"), unit.addr4);
    filled.replace(QLatin1String("{n}"), QString::number(unit.n));
    filled.replace(kUnitPlaceholder, unit.unit > 0 ? QString::number(unit.unit) : QString());
    return filled;
}

QString LastFourHexDigits(const QString& deviceAddress) {
    QString digits;
    for (const QChar c : deviceAddress) {
        if (c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            digits += c;
    }
    return digits.right(4);
}

} // namespace cli
