// Which rows of the record a listing or a summary is about, as the conditions of an SQL
// query that the record's indexes serve.
#pragma once

#include <QDateTime>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace production_record {

// The result of a module refused before any write command (a clone of a module on another
// port): no unit's failure, so it stays out of --latest, `failed` and the summary.
inline constexpr const char* kRefusedResult = "refused";

struct RecordFilter {
    // Rows of this bench only; empty for all.
    QString bench;
    // The bench as the record spells it, in any case (BenchAsRecorded); unset, `bench` as given.
    std::optional<QStringList> benchSpellings;
    // Rows recorded at or after `since` and at or before `until`; invalid for no bound.
    QDateTime since;
    QDateTime until;
    // Rows with any of these results; `failed` adds every result but ok, empty and refused.
    QStringList results;
    bool failed = false;
    std::optional<int> unit;
    // The module's own address in any spelling: compared without spaces, colons, dashes
    // and case.
    QString deviceAddress;
    // Of each module (by its device address), only its latest row among those the other
    // conditions leave; the result is asked of that row.
    bool latest = false;
};

// The address as the record compares it: "0012 6f:3A-0201" gives "00126f3a0201".
QString AddressKey(const QString& address);

// The same in SQL, over the device_address column. From layout 3 on the database keeps it in
// the address_key column, filling it itself, so that rows a bench of an older release adds
// to an upgraded record have it too; an older record is asked through the expression.
inline constexpr const char* kAddressKeySql =
    "lower(replace(replace(replace(device_address, ' ', ''), ':', ''), '-', ''))";

// The address key of a row, as a query of a record of `layout` must name it to use its index.
QString AddressKeyOf(int layout);

// The conditions of the filter joined by AND ("" when none), and the values of their
// placeholders in order, for a record of `layout`. `withResult` false leaves the result out
// (to ask it after --latest).
struct FilterClause {
    QString conditions;
    QVariantList values;
};
FilterClause ClauseOf(const RecordFilter& filter, int layout, bool withResult = true);

// The condition on the result alone, with its values appended; "" when the filter has none.
QString ResultCondition(const RecordFilter& filter, QVariantList& values);

// A time as the record stores it, so that text order is time order.
QString StoredTime(const QDateTime& time);

} // namespace production_record
