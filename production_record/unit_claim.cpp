#include "unit_claim.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace production_record {
namespace {

// The claims of one transaction, after the counter row is locked.
class Claims {
public:
    explicit Claims(RecordConnection& connection)
        : m_connection(connection), m_query(connection.database()),
          m_now(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)) {}

    // The counter row is the one every claim locks first, so claims run one after another.
    bool lockCounter() {
        const QString select = QStringLiteral("SELECT next_unit FROM unit_counter");
        if (!m_query.exec(m_connection.isPostgres() ? select + QStringLiteral(" FOR UPDATE")
                                                    : select) ||
            !m_query.next())
            return false;
        m_next = m_query.value(0).toInt();
        return true;
    }

    // Nothing is written for a module whose values list is used up.
    std::optional<ClaimRefusal> take(const ClaimRequest& request, UnitClaim& claim) {
        if (!request.valuesList.isEmpty()) {
            if (!takeValuesRow(request, claim))
                return failure();
            if (*claim.valuesRow > request.valuesRows) {
                return ClaimRefusal{
                    true, QStringLiteral("the values list %1 is used up: its %2 rows are taken")
                              .arg(request.valuesList)
                              .arg(request.valuesRows)};
            }
        }
        if (request.wantsUnit && !takeUnit(request, claim))
            return failure();
        return std::nullopt;
    }

    bool storeCounter() {
        return run(QStringLiteral("UPDATE unit_counter SET next_unit = ?"), {m_next});
    }

    ClaimRefusal failure() const {
        return {false, m_connection.errorText(m_query.lastError().text())};
    }

private:
    bool run(const QString& statement, const QVariantList& values) {
        m_query.prepare(statement);
        for (const QVariant& value : values)
            m_query.addBindValue(value);
        return m_query.exec();
    }

    // The first column of the first row, 0 when there is none; nothing on failure.
    std::optional<int> first(const QString& statement, const QVariantList& values) {
        if (!run(statement, values))
            return std::nullopt;
        m_found = m_query.next();
        return m_found ? m_query.value(0).toInt() : 0;
    }

    bool takeUnit(const ClaimRequest& request, UnitClaim& claim) {
        const auto kept =
            first(QStringLiteral("SELECT unit FROM unit_numbers WHERE device_address = ?"),
                  {request.deviceAddress});
        if (!kept)
            return false;
        if (m_found) {
            claim.unit = *kept;
            return true;
        }
        claim.unit = m_next++;
        return run(QStringLiteral("INSERT INTO unit_numbers (device_address, unit, bench, "
                                  "taken_at) VALUES (?, ?, ?, ?)"),
                   {request.deviceAddress, *claim.unit, request.bench, m_now});
    }

    bool takeValuesRow(const ClaimRequest& request, UnitClaim& claim) {
        const auto kept = first(QStringLiteral("SELECT list_row FROM values_rows WHERE list = ? "
                                               "AND device_address = ?"),
                                {request.valuesList, request.deviceAddress});
        if (!kept)
            return false;
        if (m_found) {
            claim.valuesRow = *kept;
            return true;
        }
        const auto last = first(
            QStringLiteral("SELECT coalesce(max(list_row), 0) FROM values_rows WHERE list = ?"),
            {request.valuesList});
        if (!last)
            return false;
        claim.valuesRow = *last + 1;
        if (*claim.valuesRow > request.valuesRows)
            return true;
        return run(
            QStringLiteral("INSERT INTO values_rows (list, list_row, device_address, "
                           "bench, taken_at) VALUES (?, ?, ?, ?, ?)"),
            {request.valuesList, *claim.valuesRow, request.deviceAddress, request.bench, m_now});
    }

    RecordConnection& m_connection;
    QSqlQuery m_query;
    QString m_now;
    bool m_found = false;
    int m_next = 0;
};

} // namespace

QList<ClaimResult> ClaimUnits(RecordConnection& connection, const QList<ClaimRequest>& requests) {
    const auto everyOne = [&requests](const ClaimRefusal& refusal) {
        return QList<ClaimResult>(requests.size(), refusal);
    };
    if (const auto error = connection.open())
        return everyOne({false, *error});
    if (!connection.beginWriting())
        return everyOne({false, connection.errorText()});
    Claims claims(connection);
    if (!claims.lockCounter()) {
        const ClaimRefusal failure = claims.failure();
        connection.rollback();
        return everyOne(failure);
    }
    QList<ClaimResult> results;
    for (const ClaimRequest& request : requests) {
        UnitClaim taken;
        const std::optional<ClaimRefusal> refusal = claims.take(request, taken);
        if (refusal && !refusal->valuesUsedUp) {
            connection.rollback();
            return everyOne(*refusal);
        }
        results << (refusal ? ClaimResult(*refusal) : ClaimResult(taken));
    }
    if (!claims.storeCounter()) {
        const ClaimRefusal failure = claims.failure();
        connection.rollback();
        return everyOne(failure);
    }
    if (!connection.commit())
        return everyOne({false, connection.errorText()});
    return results;
}

} // namespace production_record
