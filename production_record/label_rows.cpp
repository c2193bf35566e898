#include "label_rows.h"

#include "record_filter.h"
#include "record_row.h"
#include "record_schema.h"

#include <QSqlQuery>

namespace production_record {
namespace {

// On PostgreSQL, spool replays of label rows take turns, so that two runs replaying one spool
// at once cannot both find a row missing and both add it.
constexpr int kLabelReplayLock = 1720;

// An empty text is stored as one, not as NULL.
QVariant LabelText(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(StorableText(text));
}

// The columns that tell one label row from another: all but the unit, which the address key
// already names.
QVariantList Identity(const LabelRow& row) {
    // Integers, not booleans: PostgreSQL takes no boolean into an INTEGER column.
    return {LabelText(row.addressKey),    StoredTime(row.time), LabelText(row.bench),
            LabelText(row.labelTemplate), LabelText(row.where), row.printed ? 1 : 0,
            LabelText(row.reason),        row.reprint ? 1 : 0};
}

// Inside the caller's transaction.
std::optional<QString> InsertLabelRow(RecordConnection& connection, const LabelRow& row) {
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral(
        "INSERT INTO labels (address_key, printed_at, bench, template, destination, printed, "
        "reason, reprint, unit) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant& value : Identity(row))
        query.addBindValue(value);
    query.addBindValue(row.unit ? QVariant(*row.unit) : QVariant(QMetaType::fromType<int>()));
    if (!query.exec())
        return connection.failure(query.lastError());
    return std::nullopt;
}

// Inside the caller's transaction.
std::optional<QString> InsertLabelRowUnlessThere(RecordConnection& connection,
                                                 const LabelRow& row) {
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral(
        "SELECT count(*) FROM labels WHERE address_key = ? AND printed_at = ? AND bench = ? AND "
        "template = ? AND destination = ? AND printed = ? AND reason = ? AND reprint = ?"));
    for (const QVariant& value : Identity(row))
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return connection.failure(query.lastError());
    if (query.value(0).toInt() > 0)
        return std::nullopt;
    return InsertLabelRow(connection, row);
}

std::optional<QString> InsertLabelRowsUnlessThere(RecordConnection& connection,
                                                  const QList<LabelRow>& rows) {
    return connection.write([&connection, &rows]() -> std::optional<QString> {
        QSqlQuery lock(connection.database());
        if (connection.isPostgres() &&
            !lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kLabelReplayLock)))
            return connection.failure(lock.lastError());
        for (const LabelRow& row : rows) {
            if (const auto error = InsertLabelRowUnlessThere(connection, row))
                return error;
        }
        return std::nullopt;
    });
}

} // namespace

std::optional<QString> AddLabelRow(RecordConnection& connection, const LabelRow& row) {
    return connection.write([&connection, &row]() -> std::optional<QString> {
        return InsertLabelRow(connection, row);
    });
}

QList<RowStored> StoreLabelRows(RecordConnection& connection, const QList<LabelRow>& rows) {
    return StoreEach(connection, rows, InsertLabelRowsUnlessThere);
}

QJsonObject LabelRowJson(const LabelRow& row) {
    return QJsonObject{
        {QStringLiteral("address_key"), row.addressKey},
        {QStringLiteral("unit"), row.unit ? QJsonValue(*row.unit) : QJsonValue()},
        {QStringLiteral("time"), StoredTime(row.time)},
        {QStringLiteral("bench"), row.bench},
        {QStringLiteral("template"), row.labelTemplate},
        {QStringLiteral("where"), row.where},
        {QStringLiteral("printed"), row.printed},
        {QStringLiteral("reason"), row.reason},
        {QStringLiteral("reprint"), row.reprint},
    };
}

std::optional<LabelRow> LabelRowFromJson(const QJsonObject& object) {
    LabelRow row;
    row.addressKey = object.value(QStringLiteral("address_key")).toString();
    row.time =
        QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    if (row.addressKey.isEmpty() || !row.time.isValid())
        return std::nullopt;
    const QJsonValue unit = object.value(QStringLiteral("unit"));
    if (unit.isDouble())
        row.unit = unit.toInt();
    row.bench = object.value(QStringLiteral("bench")).toString();
    row.labelTemplate = object.value(QStringLiteral("template")).toString();
    row.where = object.value(QStringLiteral("where")).toString();
    row.printed = object.value(QStringLiteral("printed")).toBool();
    row.reason = object.value(QStringLiteral("reason")).toString();
    row.reprint = object.value(QStringLiteral("reprint")).toBool();
    return row;
}

std::variant<QList<LabelRow>, QString> LabelRowsOf(RecordConnection& connection,
                                                   const QString& addressKey, int layout) {
    QList<LabelRow> rows;
    if (layout < kLabelsLayout)
        return rows;
    QSqlQuery query(connection.database());
    if (!RunForwardOnly(query,
                        QStringLiteral("SELECT address_key, unit, printed_at, bench, template, "
                                       "destination, printed, reason, reprint FROM labels WHERE "
                                       "address_key = ? ORDER BY printed_at, id"),
                        {StorableText(addressKey)}))
        return connection.failure(query.lastError());
    while (query.next()) {
        LabelRow row;
        row.addressKey = query.value(0).toString();
        if (!query.value(1).isNull())
            row.unit = query.value(1).toInt();
        row.time = QDateTime::fromString(query.value(2).toString(), Qt::ISODateWithMs);
        row.bench = query.value(3).toString();
        row.labelTemplate = query.value(4).toString();
        row.where = query.value(5).toString();
        row.printed = query.value(6).toInt() != 0;
        row.reason = query.value(7).toString();
        row.reprint = query.value(8).toInt() != 0;
        rows << row;
    }
    if (query.lastError().isValid())
        return connection.failure(query.lastError());
    return rows;
}

} // namespace production_record
