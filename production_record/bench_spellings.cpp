#include "bench_spellings.h"

#include "record_schema.h"

#include <QSqlQuery>

namespace production_record {
namespace {

// Each bench once, one step of the bench index apiece: a record of a million rows has a few
// benches, and reading them all would read every row.
const QString kBenches = QStringLiteral(
    "WITH RECURSIVE benches (name) AS (SELECT min(bench) FROM module_records UNION ALL SELECT "
    "(SELECT min(bench) FROM module_records WHERE bench > benches.name) FROM benches WHERE "
    "benches.name IS NOT NULL) SELECT name FROM benches WHERE name IS NOT NULL");

} // namespace

std::variant<RecordFilter, BenchUnknown> BenchAsRecorded(RecordConnection& connection,
                                                         const RecordFilter& filter) {
    if (filter.bench.isEmpty())
        return filter;
    QStringList benches;
    const auto error = connection.read([&]() -> std::optional<QString> {
        benches.clear();
        const auto layout = ReadableLayout(connection);
        if (const auto* why = std::get_if<QString>(&layout))
            return *why;
        QSqlQuery query(connection.database());
        query.setForwardOnly(true);
        if (!query.exec(kBenches))
            return connection.failure(query.lastError());
        while (query.next())
            benches << query.value(0).toString();
        return std::nullopt;
    });
    if (error)
        return BenchUnknown{*error, false};
    RecordFilter asRecorded = filter;
    asRecorded.benchSpellings = QStringList();
    for (const QString& bench : benches) {
        if (bench.compare(filter.bench, Qt::CaseInsensitive) == 0)
            *asRecorded.benchSpellings << bench;
    }
    if (!asRecorded.benchSpellings->isEmpty())
        return asRecorded;
    return BenchUnknown{
        QStringLiteral("the record %1 has no bench named \"%2\"; its benches are %3")
            .arg(connection.target().key, filter.bench,
                 benches.isEmpty() ? QStringLiteral("none yet")
                                   : benches.join(QStringLiteral(", "))),
        true};
}

} // namespace production_record
