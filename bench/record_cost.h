// What the production record costs: rows per second into each database, and the time it
// adds to a cordelo-cli write to many modules, each taking a unit number and leaving a row.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace bench {

// cordelo-cli run with these arguments, from process start to end; nothing when it failed.
std::optional<std::chrono::duration<double, std::milli>> TimeCliWrite(const QString& program,
                                                                      const QStringList& arguments);

// Rows added one at a time, each in its own statement, as benches add them; nothing when
// the record could not be opened.
std::optional<double> MeasureRowsPerSecond(const QString& target, int rows);

struct RecordCostRuns {
    std::vector<std::chrono::duration<double, std::milli>> without;
    std::vector<std::chrono::duration<double, std::milli>> with;
};

// cordelo-cli (in `directory`) writing to `modules` virtual modules, alternately without and
// with --record TARGET (a fresh record each time, so every module takes a new number).
// Runs that failed are left out. `fresh` makes the record target of run n.
RecordCostRuns MeasureRecordCost(const QString& directory, int modules, int runs,
                                 const std::function<QString(int run)>& fresh);

} // namespace bench
