#include "since_time.h"

#include <QRegularExpression>

namespace cli {

std::variant<QDateTime, QString> ParseSince(const QString& text) {
    // QDate would read the date at the front of a date and time too.
    static const QRegularExpression dateAlone(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (dateAlone.match(text).hasMatch()) {
        // Where the clocks skip midnight, the day starts at its first valid time.
        const QDateTime start = QDate::fromString(text, Qt::ISODate).startOfDay();
        if (start.isValid())
            return start;
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        return time;
    if (QDateTime::fromString(text + QLatin1Char('Z'), Qt::ISODateWithMs).isValid())
        return QStringLiteral("--since %1: there is no such local time, the clocks skip it; "
                              "give the time after the change, or a zone (Z or +hh:mm)")
            .arg(text);
    return QStringLiteral("--since needs a date or a date and time such as 2026-12-01, "
                          "2026-12-01T08:00 or 2026-12-01T08:00:00Z");
}

} // namespace cli
