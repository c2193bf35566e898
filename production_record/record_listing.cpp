#include "record_listing.h"

#include "record_schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace production_record {
namespace {

// Rows fetched from a PostgreSQL cursor at a time: libpq holds a whole result in memory, so the
// listing asks for it in parts; the first part is small, so that the first row is soon there.
constexpr int kFirstFetchRows = 100;
constexpr int kFetchRows = 2000;

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

// The listing's statement for the database, with the values of its placeholders in `values`.
QString Statement(const RecordFilter& filter, int layout, bool postgres, QVariantList& values) {
    // A record of an older layout is read as it is: its rows have no message.
    QString columns = kColumns;
    if (layout < kMessageLayout)
        columns.replace(QStringLiteral("message"), QStringLiteral("'' AS message"));
    const FilterClause clause = ClauseOf(filter, layout, !filter.latest);
    QString statement;
    if (!filter.latest) {
        statement = QStringLiteral("SELECT %1 FROM module_records%2")
                        .arg(columns, Where({clause.conditions}));
        values = clause.values;
    } else {
        // A unit's latest state is its latest write: reads and resets stay in its history. A
        // row without an address is an entry of its own, as the summary counts it; a port
        // where nothing answered is no module, and a module refused before any write (a clone)
        // is not the unit whose address it gave. Each row is asked whether a later write of its
        // unit is among the rows the filter leaves, so that the rows come in time order as they
        // are found rather than after every unit was sorted.
        // In the inner query the filter's bare column names are those of the later row.
        const QString written =
            QStringLiteral("command = 'write' AND result NOT IN ('empty', '%1')")
                .arg(QLatin1String(kRefusedResult));
        const QString key = AddressKeyOf(layout);
        const QString outerKey =
            layout >= kAddressKeyLayout
                ? QStringLiteral("listed.address_key")
                : QString(key).replace(QStringLiteral("device_address"),
                                       QStringLiteral("listed.device_address"));
        const QString sameUnit =
            QStringLiteral("listed.device_address <> '' AND %1 = %2").arg(key, outerKey);
        // On PostgreSQL the unit's rows are found by its address alone, and only then asked the
        // filter's questions (OFFSET 0 keeps the database from merging the two): a record it has
        // no statistics for yet, such as one just filled, would otherwise be searched through
        // the time index for each row, every row against every row. SQLite takes no outer
        // column in a subquery of FROM, and finds the address index itself.
        const QString rows = postgres ? QStringLiteral("(SELECT * FROM module_records WHERE %1 "
                                                       "OFFSET 0) AS unit_rows")
                                            .arg(sameUnit)
                                      : QStringLiteral("module_records");
        const QString later =
            QStringLiteral("NOT EXISTS (SELECT 1 FROM %1%2)")
                .arg(rows, Where({clause.conditions, written, postgres ? QString() : sameUnit,
                                  QStringLiteral("(recorded_at > listed.recorded_at OR "
                                                 "(recorded_at = listed.recorded_at AND id > "
                                                 "listed.id))")}));
        QVariantList outer = clause.values;
        const QString result = ResultCondition(filter, outer);
        statement = QStringLiteral("SELECT %1 FROM module_records AS listed%2")
                        .arg(columns, Where({clause.conditions, written, result, later}));
        values = outer + clause.values;
    }
    return statement + QStringLiteral(" ORDER BY recorded_at, id");
}

class Listing {
public:
    Listing(RecordConnection& connection, const RecordFilter& filter, const RowSink& sink)
        : m_connection(connection), m_filter(filter), m_sink(sink) {}

    // One try; a row once handed over is never handed over again, so a failure after it is
    // final.
    std::optional<QString> attempt() {
        if (m_handedOver)
            return m_lastError;
        const auto layout = ReadableLayout(m_connection);
        if (const auto* error = std::get_if<QString>(&layout))
            return *error;
        QVariantList values;
        const QString statement =
            Statement(m_filter, std::get<int>(layout), m_connection.isPostgres(), values);
        m_lastError = m_connection.isPostgres() ? throughCursor(statement, values)
                                                : stepping(statement, values);
        return m_lastError;
    }

private:
    // How many rows the query gave, or nothing once the sink wants no more.
    std::optional<int> handOver(QSqlQuery& query) {
        int rows = 0;
        while (query.next()) {
            m_handedOver = true;
            ++rows;
            if (!m_sink(RowOf(query)))
                return std::nullopt;
        }
        return rows;
    }

    // SQLite steps through the result row by row by itself.
    std::optional<QString> stepping(const QString& statement, const QVariantList& values) {
        QSqlQuery query(m_connection.database());
        if (!RunForwardOnly(query, statement, values))
            return m_connection.failure(query.lastError());
        handOver(query);
        if (query.lastError().isValid())
            return m_connection.failure(query.lastError());
        return std::nullopt;
    }

    std::optional<QString> throughCursor(const QString& statement, const QVariantList& values) {
        QSqlQuery query(m_connection.database());
        // Compiling the query (JIT), which a large record's estimates ask for, would cost the
        // first row more than it saves.
        if (!query.exec(QStringLiteral("BEGIN READ ONLY")) ||
            !query.exec(QStringLiteral("SET LOCAL jit = off"))) {
            const QString error = m_connection.failure(query.lastError());
            QSqlQuery(m_connection.database()).exec(QStringLiteral("ROLLBACK"));
            return error;
        }
        const std::optional<QString> error = fetched(query, statement, values);
        QSqlQuery(m_connection.database()).exec(QStringLiteral("ROLLBACK"));
        return error;
    }

    // The driver prepares a statement with SQL's PREPARE, which takes no DECLARE: the cursor's
    // query is given its values as literals, quoted by the driver. Every "?" of the listing's
    // statement is a placeholder; none stands in a literal of its own.
    QString withLiterals(const QString& statement, const QVariantList& values) const {
        const QStringList parts = statement.split(QLatin1Char('?'));
        QString text = parts.constFirst();
        for (qsizetype index = 1; index < parts.size(); ++index) {
            const QVariant& value = values.at(index - 1);
            QSqlField field(QString(), value.metaType());
            field.setValue(value);
            text += m_connection.database().driver()->formatValue(field) + parts[index];
        }
        return text;
    }

    std::optional<QString> fetched(QSqlQuery& query, const QString& statement,
                                   const QVariantList& values) {
        if (!query.exec(QStringLiteral("DECLARE listing NO SCROLL CURSOR FOR ") +
                        withLiterals(statement, values)))
            return m_connection.failure(query.lastError());
        QSqlQuery part(m_connection.database());
        part.setForwardOnly(true);
        for (int asked = kFirstFetchRows;; asked = kFetchRows) {
            if (!part.exec(QStringLiteral("FETCH %1 FROM listing").arg(asked)))
                return m_connection.failure(part.lastError());
            const std::optional<int> rows = handOver(part);
            if (!rows || *rows < asked)
                return std::nullopt;
        }
    }

    RecordConnection& m_connection;
    const RecordFilter& m_filter;
    const RowSink& m_sink;
    bool m_handedOver = false;
    std::optional<QString> m_lastError;
};

} // namespace

std::optional<QString> EachRow(RecordConnection& connection, const RecordFilter& filter,
                               const RowSink& sink) {
    Listing listing(connection, filter, sink);
    return connection.read([&listing] { return listing.attempt(); });
}

std::variant<QList<RecordRow>, QString> ListRows(RecordConnection& connection,
                                                 const RecordFilter& filter) {
    QList<RecordRow> rows;
    const auto error = EachRow(connection, filter, [&rows](const RecordRow& row) {
        rows << row;
        return true;
    });
    if (error)
        return *error;
    return rows;
}

} // namespace production_record
