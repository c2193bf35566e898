#include "unit_claim.h"

#include "record_filter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSet>
#include <QSqlQuery>

namespace production_record {
namespace {

// Keys of a values list asked about at once, in file order.
constexpr qsizetype kKeysPerQuery = 200;

// A module is claimed for by its address key: one that reports "0012 6F 3A 0001" on one slot
// and "0012 6f 3a 0001" on another is one unit.
QString ClaimKey(const ClaimRequest& request) {
    return StorableText(AddressKey(request.deviceAddress));
}

// A list's rows as one key, whatever their order: a list sorted again is the same list.
QString ContentKey(QStringList keys) {
    keys.sort();
    keys.removeDuplicates();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& key : keys)
        hash.addData((key + QLatin1Char('\n')).toUtf8());
    return QString::fromLatin1(hash.result().toHex().left(32));
}

// The claims of one transaction, after the counter row is locked.
class Claims {
public:
    explicit Claims(RecordConnection& connection)
        : m_connection(connection),
          m_now(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)) {}

    // The counter row is the one every claim locks first, so claims run one after another.
    std::optional<QString> lockCounter() {
        const QString select = QStringLiteral("SELECT next_unit FROM unit_counter");
        if (!run(m_connection.isPostgres() ? select + QStringLiteral(" FOR UPDATE") : select, {}) ||
            !m_query->next())
            return failure();
        m_next = m_query->value(0).toInt();
        return std::nullopt;
    }

    // Why the claim failed; `usedUp` is set when the values list has no row left for it.
    std::optional<QString> take(const ClaimRequest& request, UnitClaim& claim, bool& usedUp) {
        if (!request.valuesList.isEmpty()) {
            if (const auto error = takeValuesRow(request, claim))
                return error;
            if (!claim.valuesRow) {
                usedUp = true;
                return std::nullopt;
            }
        }
        if (request.wantsUnit) {
            if (const auto error = takeUnit(request, claim))
                return error;
        }
        if (!request.started)
            return std::nullopt;
        RecordRow started = *request.started;
        started.unit = claim.unit;
        // A claim the record took only after its run gave up on it may find the row that run
        // completed (from the spool): it stays as it is.
        return InsertRow(m_connection, started, ExistingRow::Keep);
    }

    std::optional<QString> storeCounter() {
        if (!run(QStringLiteral("UPDATE unit_counter SET next_unit = ?"), {m_next}))
            return failure();
        return std::nullopt;
    }

private:
    QString failure() {
        return m_connection.failure(m_query ? m_query->lastError()
                                            : m_connection.preparationError());
    }

    bool run(const QString& statement, const QVariantList& values) {
        // A kept statement that was not read to its end would hold SQLite's read snapshot.
        if (m_query)
            m_query->finish();
        m_query = m_connection.prepared(statement);
        if (!m_query)
            return false;
        for (int index = 0; index < values.size(); ++index)
            m_query->bindValue(index, values[index]);
        return m_query->exec();
    }

    // The first column of every row of the answer.
    std::optional<QStringList> column(const QString& statement, const QVariantList& values) {
        if (!run(statement, values))
            return std::nullopt;
        QStringList found;
        while (m_query->next())
            found << m_query->value(0).toString();
        return found;
    }

    std::optional<QString> takeUnit(const ClaimRequest& request, UnitClaim& claim) {
        const auto kept =
            column(QStringLiteral("SELECT unit FROM unit_numbers WHERE device_address = ?"),
                   {ClaimKey(request)});
        if (!kept)
            return failure();
        if (!kept->isEmpty()) {
            claim.unit = kept->constFirst().toInt();
            return std::nullopt;
        }
        claim.unit = m_next++;
        if (!run(QStringLiteral("INSERT INTO unit_numbers (device_address, unit, bench, "
                                "taken_at) VALUES (?, ?, ?, ?)"),
                 {ClaimKey(request), *claim.unit, request.bench, m_now}))
            return failure();
        return std::nullopt;
    }

    // The module keeps the first row of this list it was given; else it takes the first row,
    // in file order, that no module was ever given.
    std::optional<QString> takeValuesRow(const ClaimRequest& request, UnitClaim& claim) {
        if (!m_listsSeen.contains(request.valuesList)) {
            m_listsSeen.insert(request.valuesList);
            if (const auto error = noteList(request))
                return error;
            if (const auto error = carryOverLineNumbers(request))
                return error;
        }
        const auto own =
            column(QStringLiteral("SELECT row_key FROM values_given WHERE device_address = ?"),
                   {ClaimKey(request)});
        if (!own)
            return failure();
        const QSet<QString> ownKeys(own->cbegin(), own->cend());
        const QStringList& keys = request.valuesKeys;
        for (qsizetype index = 0; index < keys.size(); ++index) {
            if (ownKeys.contains(keys[index])) {
                claim.valuesRow = static_cast<int>(index) + 1;
                return std::nullopt;
            }
        }
        for (qsizetype from = 0; from < keys.size(); from += kKeysPerQuery) {
            const QStringList chunk = keys.mid(from, kKeysPerQuery);
            const auto given =
                column(QStringLiteral("SELECT row_key FROM values_given WHERE row_key IN (%1)")
                           .arg(QStringList(chunk.size(), QStringLiteral("?")).join(',')),
                       QVariantList(chunk.cbegin(), chunk.cend()));
            if (!given)
                return failure();
            const QSet<QString> taken(given->cbegin(), given->cend());
            for (qsizetype index = 0; index < chunk.size(); ++index) {
                if (taken.contains(chunk[index]))
                    continue;
                claim.valuesRow = static_cast<int>(from + index) + 1;
                const QVariant claimedBy = request.started
                                               ? QVariant(request.started->rowId)
                                               : QVariant(QMetaType::fromType<QString>());
                if (!run(QStringLiteral("INSERT INTO values_given (row_key, device_address, "
                                        "list, bench, taken_at, claimed_by) VALUES (?, ?, ?, ?, "
                                        "?, ?)"),
                         {chunk[index], ClaimKey(request), request.valuesList, request.bench, m_now,
                          claimedBy}))
                    return failure();
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // The list as the run found it, by its file's name and its rows, so that the record can
    // tell its rows left whatever its name; a list's rows are kept once for all its copies.
    std::optional<QString> noteList(const ClaimRequest& request) {
        const QString content = ContentKey(request.valuesKeys);
        // A list whose folder is not known is stored with an empty one, not with NULL.
        const QString folder =
            request.valuesFolder.isNull() ? QStringLiteral("") : request.valuesFolder;
        if (!run(QStringLiteral("INSERT INTO values_files (file_name, content_key, folder, bench, "
                                "first_used, last_used) VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT "
                                "(file_name, content_key) DO UPDATE SET folder = excluded.folder, "
                                "bench = excluded.bench, last_used = excluded.last_used"),
                 {request.valuesList, content, folder, request.bench, m_now, m_now}))
            return failure();
        const auto known =
            column(QStringLiteral("SELECT 1 FROM values_contents WHERE content_key = ? LIMIT 1"),
                   {content});
        if (!known)
            return failure();
        if (known->isEmpty()) {
            for (qsizetype from = 0; from < request.valuesKeys.size(); from += kKeysPerQuery) {
                const QStringList chunk = request.valuesKeys.mid(from, kKeysPerQuery);
                QVariantList values;
                for (const QString& key : chunk)
                    values << content << key;
                if (!run(QStringLiteral("INSERT INTO values_contents (content_key, row_key) VALUES "
                                        "%1 ON CONFLICT DO NOTHING")
                             .arg(QStringList(chunk.size(), QStringLiteral("(?, ?)"))
                                      .join(QLatin1Char(','))),
                         values))
                    return failure();
            }
        }
        // The length an older layout kept by name alone is now known by the list's rows.
        if (!run(QStringLiteral("DELETE FROM values_lists WHERE list = ?"), {request.valuesList}))
            return failure();
        return std::nullopt;
    }

    // A record of the first layout knows the rows of a list by its name and line number: the
    // first time a list of that name comes again, its lines are taken as given by those
    // numbers (all that layout knew) and are known by their values from then on.
    std::optional<QString> carryOverLineNumbers(const ClaimRequest& request) {
        if (!run(QStringLiteral("SELECT list_row, device_address FROM values_rows WHERE list = ?"),
                 {request.valuesList}))
            return failure();
        QList<std::pair<int, QString>> given;
        while (m_query->next())
            given.append({m_query->value(0).toInt(), m_query->value(1).toString()});
        if (given.isEmpty())
            return std::nullopt;
        for (const auto& [line, address] : given) {
            if (line < 1 || line > request.valuesKeys.size())
                continue;
            if (!run(QStringLiteral("INSERT INTO values_given (row_key, device_address, list, "
                                    "bench, taken_at) VALUES (?, ?, ?, ?, ?) ON CONFLICT "
                                    "(row_key) DO NOTHING"),
                     {request.valuesKeys[line - 1], StorableText(AddressKey(address)),
                      request.valuesList, request.bench, m_now}))
                return failure();
        }
        if (!run(QStringLiteral("DELETE FROM values_rows WHERE list = ?"), {request.valuesList}))
            return failure();
        return std::nullopt;
    }

    RecordConnection& m_connection;
    // The statement run last, for its rows and its error.
    QSqlQuery* m_query = nullptr;
    QString m_now;
    int m_next = 0;
    // The lists whose length and old line numbers this transaction has seen to.
    QSet<QString> m_listsSeen;
};

QString UsedUp(const QList<ClaimRequest>& requests, int missing) {
    const ClaimRequest& any = requests.constFirst();
    return QStringLiteral("the values list %1 has no row left that was never given for %2 of "
                          "this run's %3 modules; no module was written")
        .arg(any.valuesList)
        .arg(missing)
        .arg(requests.size());
}

} // namespace

QList<ClaimResult> ClaimUnits(RecordConnection& connection, const QList<ClaimRequest>& requests) {
    QList<ClaimResult> results;
    int usedUp = 0;
    const auto everyOne = [&requests](const ClaimRefusal& refusal) {
        return QList<ClaimResult>(requests.size(), refusal);
    };
    const std::optional<QString> error = connection.write([&]() -> std::optional<QString> {
        results.clear();
        usedUp = 0;
        Claims claims(connection);
        if (const auto failed = claims.lockCounter())
            return failed;
        for (const ClaimRequest& request : requests) {
            UnitClaim taken;
            bool none = false;
            if (const auto failed = claims.take(request, taken, none))
                return failed;
            usedUp += none ? 1 : 0;
            results << taken;
        }
        // Nothing is taken for a run that cannot have all it needs.
        if (usedUp > 0)
            return UsedUp(requests, usedUp);
        return claims.storeCounter();
    });
    if (usedUp > 0)
        return everyOne({true, *error});
    if (error)
        return everyOne({false, *error});
    return results;
}

std::optional<int> CountGiven(RecordConnection& connection, const QStringList& valuesKeys) {
    int given = 0;
    for (qsizetype from = 0; from < valuesKeys.size(); from += kKeysPerQuery) {
        const QStringList chunk = valuesKeys.mid(from, kKeysPerQuery);
        QSqlQuery query(connection.database());
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM values_given WHERE row_key IN (%1)")
                          .arg(QStringList(chunk.size(), QStringLiteral("?")).join(',')));
        for (const QString& key : chunk)
            query.addBindValue(key);
        if (!query.exec() || !query.next())
            return std::nullopt;
        given += query.value(0).toInt();
    }
    return given;
}

} // namespace production_record
