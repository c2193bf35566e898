#include "since_time.h"

#include <QRegularExpression>

namespace cli {
namespace {

enum class DayEdge { Start, End };

std::variant<QDateTime, QString> ParseTime(const QString& option, const QString& text,
                                           DayEdge edge) {
    // QDate would read the date at the front of a date and time too.
    static const QRegularExpression dateAlone(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate today = QDate::currentDate();
    const QDate named = text == QLatin1String("today")       ? today
                        : text == QLatin1String("yesterday") ? today.addDays(-1)
                                                             : QDate();
    if (named.isValid() || dateAlone.match(text).hasMatch()) {
        // Where the clocks skip midnight, the day starts at its first valid time.
        const QDate day = named.isValid() ? named : QDate::fromString(text, Qt::ISODate);
        const QDateTime bound = edge == DayEdge::Start ? day.startOfDay() : day.endOfDay();
        if (bound.isValid())
            return bound;
    }
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid())
        return time;
    if (QDateTime::fromString(text + QLatin1Char('Z'), Qt::ISODateWithMs).isValid())
        return QStringLiteral("%1 %2: there is no such local time, the clocks skip it; "
                              "give the time after the change, or a zone (Z or +hh:mm)")
            .arg(option, text);
    return QStringLiteral("%1 needs today, yesterday, a date or a date and time such as "
                          "2026-12-01, 2026-12-01T08:00 or 2026-12-01T08:00:00Z")
        .arg(option);
}

} // namespace

std::variant<QDateTime, QString> ParseSince(const QString& text) {
    return ParseTime(QStringLiteral("--since"), text, DayEdge::Start);
}

std::variant<QDateTime, QString> ParseUntil(const QString& text) {
    return ParseTime(QStringLiteral("--until"), text, DayEdge::End);
}

} // namespace cli
