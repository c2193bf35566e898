#include "summary_tables.h"

#include <QJsonArray>

namespace production_record {
namespace {

QString YieldText(const BenchDay& day) {
    const std::optional<double> yield = FirstPassYield(day);
    return yield ? QString::number(*yield * 100, 'f', 1) + QLatin1Char('%') : QString();
}

QString Known(const std::optional<int>& number) {
    return number ? QString::number(*number) : QString();
}

QJsonValue KnownJson(const std::optional<int>& number) {
    return number ? QJsonValue(*number) : QJsonValue();
}

} // namespace

QString ReasonText(const FailureReason& reason) {
    QString text = QStringLiteral("%1 \u00d7 %2").arg(reason.rows).arg(reason.result);
    if (!reason.message.isEmpty())
        text += QStringLiteral(": ") + reason.message;
    return text;
}

QList<QStringList> DayTable(const RecordSummary& summary) {
    QList<QStringList> table{
        {QStringLiteral("bench"), QStringLiteral("day"), QStringLiteral("units"),
         QStringLiteral("passed"), QStringLiteral("failed"), QStringLiteral("first_pass"),
         QStringLiteral("first_pass_yield"), QStringLiteral("commonest_failures")}};
    for (const BenchDay& day : summary.days) {
        QStringList reasons;
        for (const FailureReason& reason : day.reasons)
            reasons << ReasonText(reason);
        table << QStringList{day.bench,
                             day.day.toString(Qt::ISODate),
                             QString::number(day.units),
                             QString::number(day.passed),
                             QString::number(day.failed()),
                             QString::number(day.firstPass),
                             YieldText(day),
                             reasons.join(QStringLiteral(" | "))};
    }
    return table;
}

QList<QStringList> ListTable(const RecordSummary& summary) {
    QList<QStringList> table{{QStringLiteral("values_list"), QStringLiteral("rows"),
                              QStringLiteral("given"), QStringLiteral("left")}};
    for (const ValuesListLeft& list : summary.lists)
        table << QStringList{list.list, Known(list.rows), QString::number(list.given),
                             Known(list.left())};
    return table;
}

QJsonObject SummaryJson(const RecordSummary& summary) {
    QJsonArray days;
    for (const BenchDay& day : summary.days) {
        QJsonArray reasons;
        for (const FailureReason& reason : day.reasons)
            reasons.append(QJsonObject{{QStringLiteral("result"), reason.result},
                                       {QStringLiteral("message"), reason.message},
                                       {QStringLiteral("rows"), reason.rows}});
        const std::optional<double> yield = FirstPassYield(day);
        days.append(QJsonObject{
            {QStringLiteral("bench"), day.bench},
            {QStringLiteral("day"), day.day.toString(Qt::ISODate)},
            {QStringLiteral("units"), day.units},
            {QStringLiteral("passed"), day.passed},
            {QStringLiteral("failed"), day.failed()},
            {QStringLiteral("first_pass"), day.firstPass},
            {QStringLiteral("first_pass_yield"), yield ? QJsonValue(*yield) : QJsonValue()},
            {QStringLiteral("commonest_failures"), reasons},
        });
    }
    QJsonArray lists;
    for (const ValuesListLeft& list : summary.lists)
        lists.append(QJsonObject{{QStringLiteral("values_list"), list.list},
                                 {QStringLiteral("rows"), KnownJson(list.rows)},
                                 {QStringLiteral("given"), list.given},
                                 {QStringLiteral("left"), KnownJson(list.left())}});
    return QJsonObject{{QStringLiteral("days"), days}, {QStringLiteral("values_lists"), lists}};
}

} // namespace production_record
