#include "record_listing.h"

#include "record_schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace production_record {
namespace {

const QString kColumns = QStringLiteral(
    "id, row_id, recorded_at, bench, command, port, device, device_address, firmware, result, "
    "exit_status, settings_before, settings_acknowledged, settings_verified, problem_keys, unit, "
    "message");

RecordRow RowOf(const QSqlQuery& query) {
    RecordRow row;
    row.rowId = query.value(1).toString();
    row.time = QDateTime::fromString(query.value(2).toString(), Qt::ISODateWithMs);
    row.bench = query.value(3).toString();
    row.command = query.value(4).toString();
    row.port = query.value(5).toString();
    row.device = query.value(6).toString();
    row.deviceAddress = query.value(7).toString();
    row.firmware = query.value(8).toString();
    row.result = query.value(9).toString();
    row.exitStatus = query.value(10).toInt();
    row.before = StoredSettingsText(query.value(11));
    row.acknowledged = StoredSettingsText(query.value(12));
    row.verified = StoredSettingsText(query.value(13));
    row.problemKeys = query.value(14).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (!query.value(15).isNull())
        row.unit = query.value(15).toInt();
    row.message = query.value(16).toString();
    return row;
}

QString Where(const QStringList& conditions) {
    QStringList given = conditions;
    given.removeAll(QString());
    return given.isEmpty() ? QString()
                           : QStringLiteral(" WHERE ") + given.join(QStringLiteral(" AND "));
}

} // namespace

std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter) {
    const auto layout = ReadableLayout(connection);
    if (const auto* error = std::get_if<QString>(&layout))
        return *error;
    // A record of an older layout is read as it is: its rows have no message.
    QString columns = kColumns;
    if (std::get<int>(layout) < kMessageLayout)
        columns.replace(QStringLiteral("message"), QStringLiteral("'' AS message"));
    FilterClause clause = ClauseOf(filter, std::get<int>(layout), !filter.latest);
    QString statement;
    if (!filter.latest) {
        statement = QStringLiteral("SELECT %1 FROM module_records%2")
                        .arg(columns, Where({clause.conditions}));
    } else {
        // A row without an address belongs to no module it could be the latest of, and a
        // module refused before any write (a clone) is not the unit whose address it gave.
        const QString newest =
            QStringLiteral("SELECT %1, row_number() OVER (PARTITION BY %2 ORDER BY recorded_at "
                           "DESC, id DESC) AS newest FROM module_records%3")
                .arg(columns, AddressKeyOf(std::get<int>(layout)),
                     Where({clause.conditions, QStringLiteral("device_address <> ''"),
                            QStringLiteral("result <> '%1'").arg(QLatin1String(kRefusedResult))}));
        statement =
            QStringLiteral("SELECT %1 FROM (%2) AS latest%3")
                .arg(kColumns, newest,
                     Where({QStringLiteral("newest = 1"), ResultCondition(filter, clause.values)}));
    }
    statement += QStringLiteral(" ORDER BY recorded_at, id");
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        return connection.failure(query.lastError());
    for (const QVariant& value : clause.values)
        query.addBindValue(value);
    if (!query.exec())
        return connection.failure(query.lastError());
    QList<RecordRow> rows;
    while (query.next())
        rows << RowOf(query);
    return rows;
}

} // namespace production_record
