#include "unit_lookup.h"

#include "record_filter.h"
#include "record_schema.h"

#include <QSqlQuery>

namespace production_record {
namespace {

// The key as kAddressKeySql makes it of the stored text.
QString KeyOf(const QString& deviceAddress) {
    QString key = deviceAddress.toLower();
    key.remove(QLatin1Char(' ')).remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    return key;
}

// The older tables keep the address as the module spelled it.
QString ByKey(const char* table, const char* column) {
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
        .arg(QLatin1String(column), QLatin1String(table), QLatin1String(kAddressKeySql));
}

} // namespace

std::optional<KnownUnit> LookUpUnit(RecordConnection& connection, const QString& deviceAddress,
                                    const QStringList& valuesKeys) {
    const QString key = KeyOf(deviceAddress);
    KnownUnit known;
    QSqlQuery query(connection.database());
    query.prepare(QStringLiteral("SELECT 1 FROM module_records WHERE %1 = ? AND command = "
                                 "'write' AND result = 'ok' LIMIT 1")
                      .arg(AddressKeyOf(kSchemaVersion)));
    query.addBindValue(key);
    if (!query.exec())
        return std::nullopt;
    known.passedBefore = query.next();

    query.prepare(ByKey("unit_numbers", "unit"));
    query.addBindValue(key);
    if (!query.exec())
        return std::nullopt;
    if (query.next())
        known.unit = query.value(0).toInt();

    query.prepare(ByKey("values_given", "row_key"));
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
