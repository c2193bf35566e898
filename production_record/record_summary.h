// What a production manager asks of the record: per bench and local day, the units first
// written there, how many passed at the first write and how many pass now, the commonest
// failures, the modules that were never written and why; the same for the whole line; and the
// values rows each list has left.
#pragma once

#include "record_connection.h"
#include "record_filter.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace production_record {

struct FailureReason {
    QString result;
    // The run's message as a reason: each quoted value shown as "…" and each count of a
    // command as "…", so that the same failure of different units reads as one reason.
    QString message;
    // Units that failed for this reason at least once; a unit failing twice counts once.
    int units = 0;
};

// Modules that got no write command, by why: no unit, never in a yield. Each module (by its
// address, or the row when it told none) counts once per kind, bench and day.
struct NotWritten {
    // Refused before a write: a clone, values that do not fit, a values list used up.
    int refused = 0;
    // No module answered, or the port could not be opened.
    int noModule = 0;
    int badFirmware = 0;
    // The record could not be used, so the module was left alone.
    int recordFailed = 0;
    // Stopped (Ctrl-C) before its first write command.
    int stopped = 0;

    int total() const { return refused + noModule + badFirmware + recordFailed + stopped; }
    NotWritten& operator+=(const NotWritten& other);
};

// A unit is a module (by its device address) that was sent a write command. It counts on the
// bench and local day of its first write ever, with the result of that write and its result
// now: its latest write on any bench (up to --until), so the rows of bench-days add up.
struct BenchDay {
    // Empty in a total of several benches; an invalid day in a total of several days.
    QString bench;
    QDate day;
    int units = 0;
    // Units whose first write was ok.
    int firstPass = 0;
    // Units whose first write failed and whose latest is ok.
    int passedLater = 0;
    // Units whose latest write failed (a first pass written again and failed among them).
    int stillFailing = 0;
    NotWritten notWritten;
    // The commonest reasons among these units' failed writes, commonest first.
    QList<FailureReason> reasons;

    int passed() const { return units - stillFailing; }
};

struct ValuesListLeft {
    // The file's name; with its folder, or when it was first used, where two lines would
    // otherwise read alike.
    QString list;
    QString folder;
    // The bench and time it was last used from; unknown for a list an older cordelo-cli used.
    QString bench;
    QDateTime lastUsed;
    // Distinct rows of the list; unknown for a list last used before the record kept lengths.
    std::optional<int> rows;
    // Its rows given to a module, from this list or any other holding the same row.
    int given = 0;

    std::optional<int> left() const;
};

struct RecordSummary {
    // By day, then bench.
    QList<BenchDay> days;
    // Every day's benches together, by day.
    QList<BenchDay> dayTotals;
    // The whole line over the period: distinct units, and every reason (for the Pareto).
    BenchDay line;
    // Every list as it stands, whatever the filter.
    QList<ValuesListLeft> lists;
};

// How many reasons each bench and day shows.
inline constexpr int kReasonsShown = 3;

// The summary of the units whose first write the filter leaves (--result and --latest aside:
// the summary decides each unit's first and latest write itself); why the record cannot be
// read, or the summary.
std::variant<RecordSummary, QString> SummariseRecord(RecordConnection& connection,
                                                     const RecordFilter& filter);

// First-pass and final yield as a fraction, nothing for no unit.
std::optional<double> FirstPassYield(const BenchDay& day);
std::optional<double> FinalYield(const BenchDay& day);

} // namespace production_record
