#include "summary_tables.h"
#include "printable_text.h"

#include <QJsonArray>

namespace production_record {
namespace {

QString Known(const std::optional<int>& number) {
    return number ? QString::number(*number) : QString();
}

QJsonValue KnownJson(const std::optional<int>& number) {
    return number ? QJsonValue(*number) : QJsonValue();
}

QJsonValue YieldJson(const std::optional<double>& yield) {
    return yield ? QJsonValue(*yield) : QJsonValue();
}

// A fraction a spreadsheet reads as a number (and shows as a percentage when asked).
QString YieldNumber(const std::optional<double>& yield) {
    return yield ? QString::number(*yield, 'f', 4) : QString();
}

QString Local(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : QString();
}

QStringList Names(const char* names) {
    return QString::fromLatin1(names).split(QLatin1Char(' '));
}

QStringList Figures(const BenchDay& day, TableUse use) {
    QStringList reasons;
    for (const FailureReason& reason : day.reasons)
        reasons << PrintableText(ReasonText(reason));
    QStringList figures{QString::number(day.units), QString::number(day.firstPass),
                        QString::number(day.passedLater), QString::number(day.stillFailing)};
    if (use == TableUse::People) {
        figures << YieldText(FirstPassYield(day)) << YieldText(FinalYield(day))
                << NotWrittenText(day.notWritten);
    } else {
        const NotWritten& none = day.notWritten;
        figures << YieldNumber(FirstPassYield(day)) << YieldNumber(FinalYield(day))
                << QString::number(none.refused) << QString::number(none.noModule)
                << QString::number(none.badFirmware) << QString::number(none.recordFailed)
                << QString::number(none.stopped);
    }
    return figures << reasons.join(QStringLiteral(" | "));
}

QJsonObject NotWrittenJson(const NotWritten& none) {
    return {{QStringLiteral("refused"), none.refused},
            {QStringLiteral("no_module"), none.noModule},
            {QStringLiteral("bad_firmware"), none.badFirmware},
            {QStringLiteral("record_failed"), none.recordFailed},
            {QStringLiteral("stopped"), none.stopped}};
}

QJsonObject DayJson(const BenchDay& day) {
    QJsonArray reasons;
    for (const FailureReason& reason : day.reasons)
        reasons.append(QJsonObject{{QStringLiteral("result"), reason.result},
                                   {QStringLiteral("message"), reason.message},
                                   {QStringLiteral("units"), reason.units}});
    QJsonObject object{
        {QStringLiteral("units"), day.units},
        {QStringLiteral("first_pass"), day.firstPass},
        {QStringLiteral("passed_later"), day.passedLater},
        {QStringLiteral("still_failing"), day.stillFailing},
        {QStringLiteral("passed"), day.passed()},
        {QStringLiteral("failed"), day.stillFailing},
        {QStringLiteral("first_pass_yield"), YieldJson(FirstPassYield(day))},
        {QStringLiteral("final_yield"), YieldJson(FinalYield(day))},
        {QStringLiteral("not_written"), NotWrittenJson(day.notWritten)},
        {QStringLiteral("commonest_failures"), reasons},
    };
    if (!day.bench.isEmpty())
        object.insert(QStringLiteral("bench"), day.bench);
    if (day.day.isValid())
        object.insert(QStringLiteral("day"), day.day.toString(Qt::ISODate));
    return object;
}

// "2026-12-01 to 2026-12-05", the days a line-wide total is of.
QString Period(const RecordSummary& summary) {
    const QString first = summary.dayTotals.constFirst().day.toString(Qt::ISODate);
    const QString last = summary.dayTotals.constLast().day.toString(Qt::ISODate);
    return first == last ? first : QStringLiteral("%1 to %2").arg(first, last);
}

} // namespace

QString ReasonText(const FailureReason& reason) {
    QString text = QStringLiteral("%1 \u00d7 %2").arg(reason.units).arg(reason.result);
    if (!reason.message.isEmpty())
        text += QStringLiteral(": ") + reason.message;
    return text;
}

QString NotWrittenText(const NotWritten& none) {
    QStringList parts;
    for (const auto& [count, kind] :
         {std::pair{none.refused, "refused"}, std::pair{none.noModule, "no module"},
          std::pair{none.badFirmware, "bad firmware"},
          std::pair{none.recordFailed, "record failed"}, std::pair{none.stopped, "stopped"}}) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(kind));
    }
    return parts.join(QStringLiteral(", "));
}

QString YieldText(const std::optional<double>& yield) {
    return yield ? QString::number(*yield * 100, 'f', 1) + QLatin1Char('%') : QString();
}

QList<QStringList> DayTable(const RecordSummary& summary, TableUse use) {
    QStringList header = Names("bench day units first_pass passed_later still_failing "
                               "first_pass_yield final_yield");
    header << (use == TableUse::People
                   ? Names("not_written")
                   : Names("refused no_module bad_firmware record_failed stopped"))
           << QStringLiteral("commonest_failures");
    QList<QStringList> table{header};
    for (const BenchDay& day : summary.days)
        table << QStringList{PrintableText(day.bench), day.day.toString(Qt::ISODate)} +
                     Figures(day, use);
    if (use == TableUse::People && !summary.days.isEmpty()) {
        BenchDay line = summary.line;
        line.reasons = line.reasons.mid(0, kReasonsShown);
        table << QStringList{QStringLiteral("all benches"), Period(summary)} + Figures(line, use);
    }
    return table;
}

QList<QStringList> ListTable(const RecordSummary& summary, TableUse use) {
    QList<QStringList> table{Names("values_list rows given left last_used") +
                             (use == TableUse::People ? QStringList() : Names("bench folder"))};
    for (const ValuesListLeft& list : summary.lists) {
        QStringList line{PrintableText(list.list), Known(list.rows), QString::number(list.given),
                         Known(list.left())};
        if (use == TableUse::People) {
            line << (list.bench.isEmpty() ? QString()
                                          : QStringLiteral("%1 %2").arg(Local(list.lastUsed),
                                                                        PrintableText(list.bench)));
        } else {
            line << (list.lastUsed.isValid() ? list.lastUsed.toLocalTime().toString(
                                                   QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             : QString())
                 << list.bench << list.folder;
        }
        table << line;
    }
    return table;
}

QJsonObject SummaryJson(const RecordSummary& summary) {
    QJsonArray days;
    for (const BenchDay& day : summary.days)
        days.append(DayJson(day));
    QJsonArray totals;
    for (const BenchDay& day : summary.dayTotals)
        totals.append(DayJson(day));
    QJsonArray lists;
    for (const ValuesListLeft& list : summary.lists)
        lists.append(QJsonObject{
            {QStringLiteral("values_list"), list.list},
            {QStringLiteral("folder"), list.folder},
            {QStringLiteral("bench"), list.bench},
            {QStringLiteral("last_used"),
             list.lastUsed.isValid() ? QJsonValue(list.lastUsed.toUTC().toString(Qt::ISODateWithMs))
                                     : QJsonValue()},
            {QStringLiteral("rows"), KnownJson(list.rows)},
            {QStringLiteral("given"), list.given},
            {QStringLiteral("left"), KnownJson(list.left())}});
    return QJsonObject{{QStringLiteral("days"), days},
                       {QStringLiteral("day_totals"), totals},
                       {QStringLiteral("line"), DayJson(summary.line)},
                       {QStringLiteral("values_lists"), lists}};
}

} // namespace production_record
