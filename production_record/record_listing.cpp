#include "record_listing.h"

#include "record_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace production_record {

std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter) {
    if (const auto error = CheckSchema(connection))
        return *error;
    QStringList conditions;
    QVariantList values;
    if (filter.since.isValid()) {
        conditions << QStringLiteral("recorded_at >= ?");
        values << filter.since.toUTC().toString(Qt::ISODateWithMs);
    }
    if (!filter.deviceAddress.isEmpty()) {
        conditions << QStringLiteral("lower(device_address) = lower(?)");
        values << filter.deviceAddress;
    }
    if (!filter.result.isEmpty()) {
        conditions << QStringLiteral("result = ?");
        values << filter.result;
    }
    QString statement = QStringLiteral(
        "SELECT row_id, recorded_at, bench, command, port, device, device_address, firmware, "
        "result, exit_status, settings_before, settings_acknowledged, settings_verified, "
        "problem_keys, unit FROM module_records");
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement += QStringLiteral(" ORDER BY recorded_at, id");
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return connection.failure(query.lastError());
    QList<RecordRow> rows;
    while (query.next()) {
        RecordRow row;
        row.rowId = query.value(0).toString();
        row.time = QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs);
        row.bench = query.value(2).toString();
        row.command = query.value(3).toString();
        row.port = query.value(4).toString();
        row.device = query.value(5).toString();
        row.deviceAddress = query.value(6).toString();
        row.firmware = query.value(7).toString();
        row.result = query.value(8).toString();
        row.exitStatus = query.value(9).toInt();
        row.before = StoredSettingsText(query.value(10));
        row.acknowledged = StoredSettingsText(query.value(11));
        row.verified = StoredSettingsText(query.value(12));
        row.problemKeys = query.value(13).toString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (!query.value(14).isNull())
            row.unit = query.value(14).toInt();
        rows << row;
    }
    return rows;
}

} // namespace production_record
