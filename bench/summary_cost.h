// What `cordelo-cli record --summary` costs on a large record: a record filled with many
// write rows over a month of four benches, then the summary's time and the peak memory of
// the process that made it.
#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace bench {

// Fills `target` (an empty record) with `rows` write rows; false when the record failed.
bool FillRecord(const QString& target, int rows);

struct SummaryRun {
    std::chrono::duration<double, std::milli> time{};
    // The process's peak resident memory.
    long peakKiB = 0;
};

// cordelo-cli (in `directory`) summing up `target`, the median of `runs` runs by time;
// nothing when it failed.
std::optional<SummaryRun> MeasureSummary(const QString& directory, const QString& target, int runs);

} // namespace bench
