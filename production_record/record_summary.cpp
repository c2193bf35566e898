#include "record_summary.h"

#include "record_schema.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>

namespace production_record {
namespace {

constexpr int kValuesByKeyLayout = 2;
// "2026-12-01T08:00:00.000Z"
constexpr int kStoredTimeLength = 24;

// The rows a summary counts: the write rows of real modules that the filter leaves; a module
// refused before any write is no unit.
QString WrittenRows(const FilterClause& clause) {
    QString conditions = QStringLiteral("command = 'write' AND result NOT IN ('empty', '%1')")
                             .arg(QLatin1String(kRefusedResult));
    if (!clause.conditions.isEmpty())
        conditions += QStringLiteral(" AND ") + clause.conditions;
    return conditions;
}

// The local day of each row, by its number from the first day (a number groups and sorts
// faster than a date's text): the database knows no local time zone, and a day is not always
// 24 hours, so it is told the days' bounds in stored time.
struct Days {
    // Goes before the statement.
    QString with;
    // The rows of the days, up to a WHERE that wants its first condition.
    QString from;
    QString number;
};

Days DaysFrom(QDate first, QDate last, bool postgres) {
    QStringList bounds;
    for (QDate day = first; day <= last.addDays(1); day = day.addDays(1))
        bounds << QLatin1Char('\'') + StoredTime(day.startOfDay()) + QLatin1Char('\'');
    if (postgres) {
        // A binary search in the bounds for each row. Joined to a table of days instead, a
        // record whose statistics are not made yet has every row compared with every day.
        // Stored times all have one form, so their byte order is their order.
        return {QString(),
                QStringLiteral(" FROM module_records WHERE recorded_at >= %1 AND recorded_at < %2 "
                               "AND ")
                    .arg(bounds.first(), bounds.last()),
                QStringLiteral("width_bucket(recorded_at COLLATE \"C\", ARRAY[%1]) - 1")
                    .arg(bounds.join(QLatin1Char(',')))};
    }
    QStringList days;
    for (qsizetype day = 0; day + 1 < bounds.size(); ++day)
        days << QStringLiteral("(%1, %2, %3)").arg(day).arg(bounds[day], bounds[day + 1]);
    return {QStringLiteral("WITH days (day, starts, ends) AS (VALUES %1) ")
                .arg(days.join(QLatin1Char(','))),
            QStringLiteral(" FROM module_records JOIN days ON recorded_at >= days.starts AND "
                           "recorded_at < days.ends WHERE "),
            QStringLiteral("days.day")};
}

class Summariser {
public:
    Summariser(RecordConnection& connection, const RecordFilter& filter, int layout)
        : m_connection(connection), m_clause(ClauseOf(filter, layout)), m_layout(layout) {}

    // In one read transaction, so that the settings below last no longer than the summary.
    std::optional<QString> run(RecordSummary& summary) {
        QSqlDatabase database = m_connection.database();
        if (!database.transaction())
            return m_connection.failure(database.lastError());
        const std::optional<QString> error = summarise(summary);
        database.rollback();
        return error;
    }

private:
    std::optional<QString> summarise(RecordSummary& summary) {
        if (m_connection.isPostgres()) {
            QSqlQuery query(m_connection.database());
            // Grouping every unit of 100,000 rows takes some 40 MB: in memory, not sorted
            // through files as the default 4 MB would have it. Compiling a query that runs
            // once (JIT) costs more than it saves.
            for (const char* setting : {"SET LOCAL work_mem = '64MB'", "SET LOCAL jit = off"}) {
                if (!query.exec(QString::fromLatin1(setting)))
                    return m_connection.failure(query.lastError());
            }
        }
        QDate first;
        QDate last;
        if (const auto error = span(first, last))
            return error;
        if (first.isValid()) {
            const Days days = DaysFrom(first, last, m_connection.isPostgres());
            if (const auto error = countUnits(days, first, summary))
                return error;
            if (const auto error = countReasons(days, first, summary))
                return error;
        }
        return countListRows(summary);
    }

    bool exec(QSqlQuery& query, const QString& statement, const QVariantList& values) {
        query.setForwardOnly(true);
        if (!query.prepare(statement))
            return false;
        for (const QVariant& value : values)
            query.addBindValue(value);
        return query.exec();
    }

    std::optional<QString> span(QDate& first, QDate& last) {
        // The first and the last row each read from the end of the summary's index; min()
        // and max() together make SQLite read every row.
        const QString row =
            QStringLiteral("(SELECT recorded_at FROM module_records WHERE %1 ORDER BY recorded_at "
                           "%2 LIMIT 1)")
                .arg(WrittenRows(m_clause));
        QSqlQuery query(m_connection.database());
        if (!exec(query,
                  QStringLiteral("SELECT %1, %2")
                      .arg(row.arg(QStringLiteral("ASC")), row.arg(QStringLiteral("DESC"))),
                  m_clause.values + m_clause.values) ||
            !query.next())
            return m_connection.failure(query.lastError());
        if (query.value(0).isNull())
            return std::nullopt;
        first = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs)
                    .toLocalTime()
                    .date();
        last = QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs)
                   .toLocalTime()
                   .date();
        return std::nullopt;
    }

    std::optional<QString> countUnits(const Days& days, QDate first, RecordSummary& summary) {
        // A unit is its address in any spelling, or the row itself when it has none.
        const QString unit = QStringLiteral("CASE WHEN device_address = '' THEN row_id ELSE %1 END")
                                 .arg(AddressKeyOf(m_layout));
        // The first and the last row of a unit are found in one grouping, not in two sorts of
        // every row: a stored time has one length, so the least and the greatest of time and
        // result together carry the result of the first and of the last row.
        const QString statement =
            days.with +
            QStringLiteral("SELECT bench, day, count(*), sum(CASE WHEN substr(last_row, %5) = 'ok' "
                           "THEN 1 ELSE 0 END), sum(CASE WHEN substr(first_row, %5) = 'ok' THEN 1 "
                           "ELSE 0 END) FROM (SELECT %1 AS day, bench, min(recorded_at || result) "
                           "AS first_row, max(recorded_at || result) AS last_row%2%3 GROUP BY %1, "
                           "bench, %4) AS units GROUP BY day, bench ORDER BY day, bench")
                .arg(days.number, days.from, WrittenRows(m_clause), unit)
                .arg(kStoredTimeLength + 1);
        QSqlQuery query(m_connection.database());
        if (!exec(query, statement, m_clause.values))
            return m_connection.failure(query.lastError());
        while (query.next()) {
            BenchDay day;
            day.bench = query.value(0).toString();
            day.day = first.addDays(query.value(1).toInt());
            day.units = query.value(2).toInt();
            day.passed = query.value(3).toInt();
            day.firstPass = query.value(4).toInt();
            summary.days << day;
        }
        return std::nullopt;
    }

    std::optional<QString> countReasons(const Days& days, QDate first, RecordSummary& summary) {
        const QString message =
            // PostgreSQL takes no bare text constant in a GROUP BY.
            m_layout >= kMessageLayout ? QStringLiteral("message")
                                       : QStringLiteral("CAST('' AS TEXT)");
        const QString statement =
            days.with + QStringLiteral("SELECT bench, %1, result, %2, count(*)%3%4 AND result <> "
                                       "'ok' GROUP BY bench, %1, result, %2")
                            .arg(days.number, message, days.from, WrittenRows(m_clause));
        QSqlQuery query(m_connection.database());
        if (!exec(query, statement, m_clause.values))
            return m_connection.failure(query.lastError());
        QHash<QString, qsizetype> dayAt;
        for (qsizetype index = 0; index < summary.days.size(); ++index)
            dayAt.insert(summary.days[index].bench + QLatin1Char('\n') +
                             summary.days[index].day.toString(Qt::ISODate),
                         index);
        // The same reason of different units, gathered per day.
        std::map<std::pair<qsizetype, std::pair<QString, QString>>, int> reasons;
        while (query.next()) {
            const auto at =
                dayAt.constFind(query.value(0).toString() + QLatin1Char('\n') +
                                first.addDays(query.value(1).toInt()).toString(Qt::ISODate));
            if (at == dayAt.cend())
                continue;
            reasons[{*at, {query.value(2).toString(), Generalised(query.value(3).toString())}}] +=
                query.value(4).toInt();
        }
        for (const auto& [key, rows] : reasons)
            summary.days[key.first].reasons
                << FailureReason{key.second.first, key.second.second, rows};
        for (BenchDay& day : summary.days) {
            std::stable_sort(
                day.reasons.begin(), day.reasons.end(),
                [](const FailureReason& a, const FailureReason& b) { return a.rows > b.rows; });
            day.reasons = day.reasons.mid(0, kReasonsShown);
        }
        return std::nullopt;
    }

    static QString Generalised(const QString& message) {
        static const QRegularExpression quoted(QStringLiteral("\"[^\"]*\""));
        return QString(message).replace(quoted, QStringLiteral("\"\u2026\""));
    }

    std::optional<QString> countListRows(RecordSummary& summary) {
        std::map<QString, ValuesListLeft> lists;
        QSqlQuery query(m_connection.database());
        if (m_layout >= kMessageLayout) {
            if (!exec(query, QStringLiteral("SELECT list, list_rows FROM values_lists"), {}))
                return m_connection.failure(query.lastError());
            while (query.next()) {
                ValuesListLeft& list = lists[query.value(0).toString()];
                list.rows = query.value(1).toInt();
            }
        }
        // The first layout knew values rows by line only, and a reader leaves it so.
        if (m_layout < kValuesByKeyLayout) {
            summary.lists.clear();
            return std::nullopt;
        }
        if (!exec(query, QStringLiteral("SELECT list, count(*) FROM values_given GROUP BY list"),
                  {}))
            return m_connection.failure(query.lastError());
        while (query.next())
            lists[query.value(0).toString()].given = query.value(1).toInt();
        for (auto& [name, list] : lists) {
            list.list = name;
            summary.lists << list;
        }
        return std::nullopt;
    }

    RecordConnection& m_connection;
    FilterClause m_clause;
    int m_layout;
};

} // namespace

std::optional<int> ValuesListLeft::left() const {
    if (!rows)
        return std::nullopt;
    return std::max(*rows - given, 0);
}

std::optional<double> FirstPassYield(const BenchDay& day) {
    if (day.units == 0)
        return std::nullopt;
    return double(day.firstPass) / day.units;
}

std::variant<RecordSummary, QString> SummariseRecord(RecordConnection& connection,
                                                     const RecordFilter& filter) {
    const auto layout = ReadableLayout(connection);
    if (const auto* error = std::get_if<QString>(&layout))
        return *error;
    RecordFilter counted = filter;
    counted.latest = false;
    RecordSummary summary;
    if (const auto error = Summariser(connection, counted, std::get<int>(layout)).run(summary))
        return *error;
    return summary;
}

} // namespace production_record
