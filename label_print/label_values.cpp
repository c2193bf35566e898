#include "label_values.h"

#include <QRegularExpression>

namespace label_print {
namespace {

const QRegularExpression kPlaceholder(QStringLiteral("\\{([^{}]*)\\}"));

QString ValueOf(const QString& name, const LabelValues& values) {
    if (name == QLatin1String("name"))
        return values.settings.name.value_or(QString());
    if (name == QLatin1String("unit"))
        return values.unit ? QString::number(*values.unit) : QString();
    if (name == QLatin1String("address"))
        return values.address;
    if (name == QLatin1String("bench"))
        return values.bench;
    if (name == QLatin1String("firmware"))
        return values.firmware;
    if (name == QLatin1String("date"))
        return values.date.toString(Qt::ISODate);
    return profile::ModuleKeyText(values.settings, name).value_or(QString());
}

} // namespace

QString FillLabelText(const QString& text, const LabelValues& values) {
    QString filled;
    qsizetype from = 0;
    for (const auto& match : kPlaceholder.globalMatch(text)) {
        filled += text.mid(from, match.capturedStart() - from);
        filled += ValueOf(match.captured(1), values);
        from = match.capturedEnd();
    }
    return filled + text.mid(from);
}

FilledLabel FillLabel(const profile::LabelTemplate& label, const LabelValues& values) {
    FilledLabel filled{FillLabelText(label.codeText, values), {}};
    for (const profile::LabelTextLine& line : label.lines) {
        bool anyPlaceholder = false;
        bool anyValue = false;
        for (const auto& match : kPlaceholder.globalMatch(line.text)) {
            anyPlaceholder = true;
            anyValue = anyValue || !ValueOf(match.captured(1), values).isEmpty();
        }
        filled.lines << (!anyPlaceholder || anyValue ? FillLabelText(line.text, values)
                                                     : QString());
    }
    return filled;
}

LabelValues LongestValues(const QString& bench) {
    // Latin-1 letters above 127 take two places in Code 128 and Data Matrix.
    const QChar widest(0xFF);
    profile::ModuleSettings settings;
    settings.name = QString(14, widest);
    settings.pin = QString(8, widest);
    settings.pinRequest = false;
    settings.baud = QStringLiteral("230400");
    settings.stopBits = QStringLiteral("2");
    settings.parity = QStringLiteral("E");
    settings.master = true;
    settings.address = QStringLiteral("ffff ff ff ffff");
    settings.discoverable = true;
    return {99'999'999,
            QStringLiteral("ffff ff ff ffff"),
            bench,
            QStringLiteral("v2.0"),
            QDate(2026, 12, 31),
            settings};
}

} // namespace label_print
