#include "record_filter.h"

#include "record_schema.h"

#include <QRegularExpression>

namespace production_record {

QString AddressKey(const QString& address) {
    static const QRegularExpression separators(QStringLiteral("[ :-]"));
    return QString(address).remove(separators).toLower();
}

QString AddressKeyOf(int layout) {
    return layout >= kAddressKeyLayout ? QStringLiteral("address_key")
                                       : QString::fromLatin1(kAddressKeySql);
}

QString StoredTime(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString ResultCondition(const RecordFilter& filter, QVariantList& values) {
    QStringList either;
    if (!filter.results.isEmpty()) {
        either << QStringLiteral("result IN (%1)")
                      .arg(QStringList(filter.results.size(), QStringLiteral("?"))
                               .join(QLatin1Char(',')));
        for (const QString& result : filter.results)
            values << result;
    }
    if (filter.failed)
        either << QStringLiteral("result NOT IN ('ok', 'empty', '%1')")
                      .arg(QLatin1String(kRefusedResult));
    if (either.isEmpty())
        return {};
    return QLatin1Char('(') + either.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

FilterClause ClauseOf(const RecordFilter& filter, int layout, bool withResult) {
    QStringList conditions;
    FilterClause clause;
    if (!filter.bench.isEmpty()) {
        const QStringList benches = filter.benchSpellings.value_or(QStringList{filter.bench});
        conditions
            << QStringLiteral("bench IN (%1)")
                   .arg(QStringList(benches.size(), QStringLiteral("?")).join(QLatin1Char(',')));
        for (const QString& bench : benches)
            clause.values << bench;
    }
    if (filter.since.isValid()) {
        conditions << QStringLiteral("recorded_at >= ?");
        clause.values << StoredTime(filter.since);
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("recorded_at <= ?");
        clause.values << StoredTime(filter.until);
    }
    if (filter.unit) {
        conditions << QStringLiteral("unit = ?");
        clause.values << *filter.unit;
    }
    if (!filter.deviceAddress.isEmpty()) {
        conditions << AddressKeyOf(layout) + QStringLiteral(" = ?");
        clause.values << AddressKey(filter.deviceAddress);
    }
    if (withResult) {
        const QString result = ResultCondition(filter, clause.values);
        if (!result.isEmpty())
            conditions << result;
    }
    clause.conditions = conditions.join(QStringLiteral(" AND "));
    return clause;
}

} // namespace production_record
