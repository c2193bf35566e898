// What a production manager asks of the record: per bench and local day, the units written,
// passed and failed, the first-pass yield and the commonest failures; and the values rows
// each list has left.
#pragma once

#include "record_connection.h"
#include "record_filter.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace production_record {

struct FailureReason {
    QString result;
    // The run's message with each quoted text (a name, a firmware) shown as "…", so that
    // the same failure of different units reads as one reason.
    QString message;
    int rows = 0;
};

// A unit is a module (by its device address) written on that bench that day; a write row
// without an address (a module that never said who it is) counts as a unit of its own.
// Ports where nothing answered under --all are no unit.
struct BenchDay {
    QString bench;
    QDate day;
    int units = 0;
    // Units whose last write row of the day is ok; the others failed.
    int passed = 0;
    // Units whose first write row of the day is ok: first-pass yield is firstPass / units.
    int firstPass = 0;
    // The commonest reasons among the day's failed write rows, commonest first.
    QList<FailureReason> reasons;

    int failed() const { return units - passed; }
};

struct ValuesListLeft {
    QString list;
    // The list's length when a run last took a row from it; unknown for a list last used
    // before the record kept lengths.
    std::optional<int> rows;
    // Rows given to modules from the list of that name.
    int given = 0;

    std::optional<int> left() const;
};

struct RecordSummary {
    // By day, then bench.
    QList<BenchDay> days;
    // Every list as it stands, whatever the filter.
    QList<ValuesListLeft> lists;
};

// How many reasons each bench and day shows.
inline constexpr int kReasonsShown = 3;

// The summary of the rows the filter leaves (--latest aside: the summary counts each unit's
// last row itself); why the record cannot be read, or the summary.
std::variant<RecordSummary, QString> SummariseRecord(RecordConnection& connection,
                                                     const RecordFilter& filter);

// First-pass yield as a fraction, nothing for a day with no unit.
std::optional<double> FirstPassYield(const BenchDay& day);

} // namespace production_record
