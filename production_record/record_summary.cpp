#include "record_summary.h"

#include "failure_reason.h"
#include "record_schema.h"
#include "values_lists_left.h"
#include "written_rows.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>

namespace production_record {
namespace {

// "2026-12-01T08:00:00.000Z"
constexpr int kStoredTimeLength = 24;

using ReasonKey = std::pair<QString, QString>;
// A bench's day by its number from the first day.
using DayKey = std::pair<int, QString>;

// The local day of each row, by its number from the first day (a number groups and sorts
// faster than a date's text): the database knows no local time zone, and a day is not always
// 24 hours, so it is told the days' bounds in stored time.
struct Days {
    // Goes before the statement.
    QString with;
    // Joined to the rows whose day is asked.
    QString join;
    QString number;
};

// Where each local day from the first to the last begins, in stored time, and where the last
// ends.
QStringList DayBounds(QDate first, QDate last) {
    QStringList bounds;
    for (QDate day = first; day <= last.addDays(1); day = day.addDays(1))
        bounds << StoredTime(day.startOfDay());
    return bounds;
}

Days DaysFrom(QStringList bounds, bool postgres) {
    for (QString& bound : bounds)
        bound = QLatin1Char('\'') + bound + QLatin1Char('\'');
    if (postgres) {
        // A binary search in the bounds for each row. Joined to a table of days instead, a
        // record whose statistics are not made yet has every row compared with every day.
        // Stored times all have one form, so their byte order is their order.
        return {QString(), QString(),
                QStringLiteral("width_bucket(recorded_at COLLATE \"C\", ARRAY[%1]) - 1")
                    .arg(bounds.join(QLatin1Char(',')))};
    }
    QStringList days;
    for (qsizetype day = 0; day + 1 < bounds.size(); ++day)
        days << QStringLiteral("(%1, %2, %3)").arg(day).arg(bounds[day], bounds[day + 1]);
    return {QStringLiteral("WITH days (day, starts, ends) AS (VALUES %1) ")
                .arg(days.join(QLatin1Char(','))),
            QStringLiteral(" JOIN days ON recorded_at >= days.starts AND recorded_at < days.ends"),
            QStringLiteral("days.day")};
}

void SortAndKeep(QList<FailureReason>& reasons, qsizetype kept) {
    std::stable_sort(
        reasons.begin(), reasons.end(),
        [](const FailureReason& a, const FailureReason& b) { return a.units > b.units; });
    if (kept >= 0)
        reasons = reasons.mid(0, kept);
}

class Summariser {
public:
    Summariser(RecordConnection& connection, const RecordFilter& filter, int layout)
        : m_connection(connection), m_filter(filter), m_clause(ClauseOf(filter, layout, false)),
          m_layout(layout) {}

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
            const QStringList bounds = DayBounds(first, last);
            if (const auto error = countUnits(bounds))
                return error;
            if (const auto error = countNotWritten(DaysFrom(bounds, m_connection.isPostgres())))
                return error;
            if (const auto error = countReasons(summary))
                return error;
            for (auto& [at, day] : m_days) {
                day.day = first.addDays(at.first);
                day.bench = at.second;
                summary.days << day;
            }
            AddUp(summary);
        }
        return CountListsLeft(m_connection, m_layout, summary.lists);
    }

    QString conditions(const QString& first) const {
        return m_clause.conditions.isEmpty()
                   ? first
                   : first + QStringLiteral(" AND ") + m_clause.conditions;
    }

    // Text compared byte by byte: a stored time has one form, so that is time order.
    QString bytewise(const QString& text) const {
        return m_connection.isPostgres() ? QStringLiteral("(%1) COLLATE \"C\"").arg(text) : text;
    }

    std::optional<QString> span(QDate& first, QDate& last) {
        // The first and the last row each read from the end of the summary's index; min()
        // and max() together make SQLite read every row. Every unit's first write and every
        // module not written is among these rows.
        const QString row =
            QStringLiteral("(SELECT recorded_at FROM module_records WHERE %1 ORDER BY recorded_at "
                           "%2 LIMIT 1)")
                .arg(conditions(QStringLiteral("command = 'write' AND result <> 'empty'")));
        QSqlQuery query(m_connection.database());
        if (!RunForwardOnly(
                query,
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

    // The writes of every unit the question can be about: its rows up to --until, on every
    // bench and day; with a question, only units with a row that answers it.
    QString unitWrites(QVariantList& values) const {
        QString where = WriteSentSql(m_layout);
        if (m_filter.until.isValid()) {
            where += QStringLiteral(" AND recorded_at <= ?");
            values << StoredTime(m_filter.until);
        }
        if (!m_clause.conditions.isEmpty()) {
            const QString key = AddressKeyOf(m_layout);
            where += QStringLiteral(" AND (%1 = '' OR %1 IN (SELECT %1 FROM module_records WHERE "
                                    "%2 AND %3))")
                         .arg(key, WriteSentSql(m_layout), m_clause.conditions);
            values << m_clause.values;
        }
        return where;
    }

    std::optional<QString> countUnits(const QStringList& bounds) {
        QVariantList values;
        const QString writes = unitWrites(values);
        // Each unit's first and latest write are found in one grouping, not in sorts of every
        // row: a stored time has one length, so the least and the greatest of time and result
        // together carry the result of the first and of the latest write. The question is then
        // asked of the first write, as a row of module_records.
        const QString grouped =
            QStringLiteral("SELECT %1 AS unit_key, min(%2) AS first_bench, min(%3) AS "
                           "first_result, max(%3) AS last_result, max(CASE WHEN result = 'ok' "
                           "THEN 0 ELSE 1 END) AS failed_any, max(unit) AS unit, "
                           "min(device_address) AS device_address, min(%4) AS address_key FROM "
                           "module_records WHERE %5 GROUP BY %1")
                .arg(UnitKeySql(m_layout), bytewise(QStringLiteral("recorded_at || bench")),
                     bytewise(QStringLiteral("recorded_at || result")), AddressKeyOf(m_layout),
                     writes);
        const QString firstWrites =
            QStringLiteral("SELECT unit_key, substr(first_bench, %1) AS bench, substr(first_bench, "
                           "1, %2) AS recorded_at, substr(first_result, %1) AS first_result, "
                           "substr(last_result, %1) AS last_result, failed_any, unit, "
                           "device_address, address_key FROM (%3) AS grouped")
                .arg(kStoredTimeLength + 1)
                .arg(kStoredTimeLength)
                .arg(grouped);
        // The key only of a unit that failed, whose reasons are looked for.
        const QString statement =
            QStringLiteral("SELECT CASE WHEN failed_any = 1 THEN unit_key END, bench, recorded_at, "
                           "first_result, last_result FROM (%1) AS module_records%2")
                .arg(firstWrites, m_clause.conditions.isEmpty()
                                      ? QString()
                                      : QStringLiteral(" WHERE ") + m_clause.conditions);
        QSqlQuery query(m_connection.database());
        if (!RunForwardOnly(query, statement, values + m_clause.values))
            return m_connection.failure(query.lastError());
        while (query.next()) {
            // Its day by a binary search in the days' bounds: here, not joined to a table of
            // days, which would compare each unit with every day.
            const auto number =
                std::upper_bound(bounds.cbegin(), bounds.cend(), query.value(2).toString()) -
                bounds.cbegin() - 1;
            const DayKey at{int(number), query.value(1).toString()};
            BenchDay& day = m_days[at];
            const bool firstOk = query.value(3).toString() == QLatin1String("ok");
            const bool lastOk = query.value(4).toString() == QLatin1String("ok");
            ++day.units;
            day.firstPass += firstOk ? 1 : 0;
            day.passedLater += !firstOk && lastOk ? 1 : 0;
            day.stillFailing += lastOk ? 0 : 1;
            if (!query.value(0).isNull())
                m_unitAt.insert(query.value(0).toString(), at);
        }
        return std::nullopt;
    }

    std::optional<QString> countNotWritten(const Days& days) {
        const QString statement =
            days.with +
            QStringLiteral("SELECT bench, %1, result, count(DISTINCT %2) FROM module_records%3 "
                           "WHERE %4 GROUP BY bench, %1, result")
                .arg(days.number, UnitKeySql(m_layout), days.join,
                     conditions(QStringLiteral("command = 'write' AND result <> 'empty' AND NOT ") +
                                WriteSentSql(m_layout)));
        QSqlQuery query(m_connection.database());
        if (!RunForwardOnly(query, statement, m_clause.values))
            return m_connection.failure(query.lastError());
        while (query.next())
            CountNotWritten(m_days[{query.value(1).toInt(), query.value(0).toString()}].notWritten,
                            query.value(2).toString(), query.value(3).toInt());
        return std::nullopt;
    }

    // Every unit that failed counts once for each reason it failed for.
    std::optional<QString> countReasons(RecordSummary& summary) {
        if (m_unitAt.isEmpty())
            return std::nullopt;
        QVariantList values;
        // A typed constant: PostgreSQL takes no bare text constant where rows are compared.
        const QString message = m_layout >= kMessageLayout ? QStringLiteral("message")
                                                           : QStringLiteral("CAST('' AS TEXT)");
        const QString statement =
            QStringLiteral("SELECT DISTINCT %1, result, %2 FROM module_records WHERE %3 AND "
                           "result <> 'ok'")
                .arg(UnitKeySql(m_layout), message, unitWrites(values));
        QSqlQuery query(m_connection.database());
        if (!RunForwardOnly(query, statement, values))
            return m_connection.failure(query.lastError());
        QSet<QString> seen;
        std::map<std::pair<DayKey, ReasonKey>, int> perDay;
        std::map<ReasonKey, int> line;
        while (query.next()) {
            const QString unit = query.value(0).toString();
            const auto at = m_unitAt.constFind(unit);
            if (at == m_unitAt.cend())
                continue;
            const ReasonKey reason{query.value(1).toString(), ReasonOf(query.value(2).toString())};
            const QString once = unit + QChar(0) + reason.first + QChar(0) + reason.second;
            if (seen.contains(once))
                continue;
            seen.insert(once);
            ++perDay[{*at, reason}];
            ++line[reason];
        }
        for (const auto& [key, units] : perDay)
            m_days[key.first].reasons << FailureReason{key.second.first, key.second.second, units};
        for (auto& entry : m_days)
            SortAndKeep(entry.second.reasons, kReasonsShown);
        for (const auto& [reason, units] : line)
            summary.line.reasons << FailureReason{reason.first, reason.second, units};
        SortAndKeep(summary.line.reasons, -1);
        return std::nullopt;
    }

    // Each unit counts on one bench and day only, so the totals are sums.
    static void AddUp(RecordSummary& summary) {
        const auto add = [](BenchDay& total, const BenchDay& day) {
            total.units += day.units;
            total.firstPass += day.firstPass;
            total.passedLater += day.passedLater;
            total.stillFailing += day.stillFailing;
            total.notWritten += day.notWritten;
        };
        for (const BenchDay& day : summary.days) {
            if (summary.dayTotals.isEmpty() || summary.dayTotals.constLast().day != day.day) {
                summary.dayTotals << BenchDay();
                summary.dayTotals.last().day = day.day;
            }
            add(summary.dayTotals.last(), day);
            add(summary.line, day);
        }
    }

    RecordConnection& m_connection;
    RecordFilter m_filter;
    FilterClause m_clause;
    int m_layout;
    // By day number and bench, so that they come by day, then bench.
    std::map<DayKey, BenchDay> m_days;
    // Where each unit that failed at least once is counted.
    QHash<QString, DayKey> m_unitAt;
};

} // namespace

NotWritten& NotWritten::operator+=(const NotWritten& other) {
    refused += other.refused;
    noModule += other.noModule;
    badFirmware += other.badFirmware;
    recordFailed += other.recordFailed;
    stopped += other.stopped;
    return *this;
}

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

std::optional<double> FinalYield(const BenchDay& day) {
    if (day.units == 0)
        return std::nullopt;
    return double(day.passed()) / day.units;
}

std::variant<RecordSummary, QString> SummariseRecord(RecordConnection& connection,
                                                     const RecordFilter& filter) {
    const auto layout = ReadableLayout(connection);
    if (const auto* error = std::get_if<QString>(&layout))
        return *error;
    RecordSummary summary;
    if (const auto error = Summariser(connection, filter, std::get<int>(layout)).run(summary))
        return *error;
    return summary;
}

} // namespace production_record
