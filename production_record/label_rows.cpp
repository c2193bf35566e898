#include "label_rows.h"

#include "record_filter.h"
#include "record_row.h"
#include "record_schema.h"

#include <QSqlQuery>

namespace production_record {
namespace {

// An empty text is stored as one, not as NULL.
QVariant LabelText(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(StorableText(text));
}

} // namespace

std::optional<QString> AddLabelRow(RecordConnection& connection, const LabelRow& row) {
    return connection.write([&connection, &row]() -> std::optional<QString> {
        QSqlQuery query(connection.database());
        query.prepare(QStringLiteral(
            "INSERT INTO labels (address_key, unit, printed_at, bench, template, destination, "
            "printed, reason, reprint) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(LabelText(row.addressKey));
        query.addBindValue(row.unit ? QVariant(*row.unit) : QVariant(QMetaType::fromType<int>()));
        query.addBindValue(StoredTime(row.time));
        query.addBindValue(LabelText(row.bench));
        query.addBindValue(LabelText(row.labelTemplate));
        query.addBindValue(LabelText(row.where));
        // Integers, not booleans: PostgreSQL takes no boolean into an INTEGER column.
        query.addBindValue(row.printed ? 1 : 0);
        query.addBindValue(LabelText(row.reason));
        query.addBindValue(row.reprint ? 1 : 0);
        if (!query.exec())
            return connection.failure(query.lastError());
        return std::nullopt;
    });
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
