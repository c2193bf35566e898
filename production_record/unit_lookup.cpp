#include "unit_lookup.h"

#include "record_filter.h"
#include "record_row.h"
#include "record_schema.h"

#include <QSqlQuery>

namespace production_record {

std::optional<KnownUnit> LookUpUnit(RecordConnection& connection, const QString& deviceAddress,
                                    const QStringList& valuesKeys) {
    // The claims keep unit numbers and values rows by the address's key.
    const QString key = StorableText(AddressKey(deviceAddress));
    KnownUnit known;
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT 1 FROM module_records WHERE %1 = ? AND command = "
                                 "'write' AND result = 'ok' LIMIT 1")
                      .arg(AddressKeyOf(kSchemaVersion)));
    query.addBindValue(key);
    if (!query.exec())
        return std::nullopt;
    known.passedBefore = query.next();

    query.prepare(QStringLiteral("SELECT unit FROM unit_numbers WHERE device_address = ?"));
    query.addBindValue(key);
    if (!query.exec())
        return std::nullopt;
    if (query.next())
        known.unit = query.value(0).toInt();

    query.prepare(QStringLiteral("SELECT row_key FROM values_given WHERE device_address = ?"));
    query.addBindValue(key);
    if (!query.exec())
        return std::nullopt;
    QStringList own;
    while (query.next())
        own << query.value(0).toString();
    for (qsizetype index = 0; index < valuesKeys.size(); ++index) {
        if (own.contains(valuesKeys[index])) {
            known.valuesRow = static_cast<int>(index) + 1;
            break;
        }
    }
    return known;
}

} // namespace production_record
