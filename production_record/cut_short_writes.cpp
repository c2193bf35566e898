#include "cut_short_writes.h"

#include <QSqlQuery>

namespace production_record {

std::optional<QMap<QString, QDateTime>>
WritesCutShort(RecordConnection& connection, const QString& bench, const QStringList& ports) {
    QMap<QString, QDateTime> cut;
    QSqlQuery query(connection.database());
    // Backwards through the bench's rows by time, to the port's latest write.
    query.prepare(QStringLiteral("SELECT result, recorded_at FROM module_records WHERE bench = ? "
                                 "AND port = ? AND command = 'write' ORDER BY recorded_at DESC "
                                 "LIMIT 1"));
    for (const QString& port : ports) {
        query.addBindValue(bench);
        query.addBindValue(port);
        if (!query.exec())
            return std::nullopt;
        if (query.next() && query.value(0).toString() == QStringLiteral("interrupted"))
            cut.insert(port, QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs));
        query.finish();
    }
    return cut;
}

} // namespace production_record
