#include "unit_claim.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace production_record {
namespace {

class Claim {
public:
    Claim(RecordConnection& connection, const ClaimRequest& request)
        : m_connection(connection), m_request(request), m_query(connection.database()),
          m_now(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)) {}

    // Inside the transaction, after the counter row is locked.
    std::optional<ClaimRefusal> take(UnitClaim& claim) {
        if (m_request.wantsUnit && !takeUnit(claim))
            return failure();
        if (!m_request.valuesList.isEmpty()) {
            if (!takeValuesRow(claim))
                return failure();
            if (*claim.valuesRow > m_request.valuesRows) {
                return ClaimRefusal{
                    true, QStringLiteral("the values list %1 is used up: its %2 rows are taken")
                              .arg(m_request.valuesList)
                              .arg(m_request.valuesRows)};
            }
        }
        return std::nullopt;
    }

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

    ClaimRefusal failure() const {
        return {false, m_connection.errorText(m_query.lastError().text())};
    }

private:
    std::optional<int> existing(const QString& statement, const QVariantList& values) {
        m_query.prepare(statement);
        for (const QVariant& value : values)
            m_query.addBindValue(value);
        if (!m_query.exec())
            return std::nullopt;
        m_found = m_query.next();
        return m_found ? m_query.value(0).toInt() : 0;
    }

    bool insert(const QString& statement, const QVariantList& values) {
        m_query.prepare(statement);
        for (const QVariant& value : values)
            m_query.addBindValue(value);
        return m_query.exec();
    }

    bool takeUnit(UnitClaim& claim) {
        const auto kept =
            existing(QStringLiteral("SELECT unit FROM unit_numbers WHERE device_address = ?"),
                     {m_request.deviceAddress});
        if (!kept)
            return false;
        if (m_found) {
            claim.unit = *kept;
            return true;
        }
        claim.unit = m_next;
        return insert(QStringLiteral("UPDATE unit_counter SET next_unit = ?"), {m_next + 1}) &&
               insert(QStringLiteral("INSERT INTO unit_numbers (device_address, unit, bench, "
                                     "taken_at) VALUES (?, ?, ?, ?)"),
                      {m_request.deviceAddress, m_next, m_request.bench, m_now});
    }

    bool takeValuesRow(UnitClaim& claim) {
        const auto kept = existing(QStringLiteral("SELECT list_row FROM values_rows WHERE list "
                                                  "= ? AND device_address = ?"),
                                   {m_request.valuesList, m_request.deviceAddress});
        if (!kept)
            return false;
        if (m_found) {
            claim.valuesRow = *kept;
            return true;
        }
        const auto last = existing(
            QStringLiteral("SELECT coalesce(max(list_row), 0) FROM values_rows WHERE list = ?"),
            {m_request.valuesList});
        if (!last)
            return false;
        claim.valuesRow = *last + 1;
        if (*claim.valuesRow > m_request.valuesRows)
            return true;
        return insert(QStringLiteral("INSERT INTO values_rows (list, list_row, device_address, "
                                     "bench, taken_at) VALUES (?, ?, ?, ?, ?)"),
                      {m_request.valuesList, *claim.valuesRow, m_request.deviceAddress,
                       m_request.bench, m_now});
    }

    RecordConnection& m_connection;
    const ClaimRequest& m_request;
    QSqlQuery m_query;
    QString m_now;
    bool m_found = false;
    int m_next = 0;
};

} // namespace

std::variant<UnitClaim, ClaimRefusal> ClaimUnit(RecordConnection& connection,
                                                const ClaimRequest& request) {
    if (const auto error = connection.open())
        return ClaimRefusal{false, *error};
    if (!connection.beginWriting())
        return ClaimRefusal{false, connection.errorText()};
    Claim claim(connection, request);
    UnitClaim taken;
    std::optional<ClaimRefusal> refusal;
    if (!claim.lockCounter())
        refusal = claim.failure();
    else
        refusal = claim.take(taken);
    if (refusal) {
        connection.rollback();
        return *refusal;
    }
    if (!connection.commit())
        return ClaimRefusal{false, connection.errorText()};
    return taken;
}

} // namespace production_record
