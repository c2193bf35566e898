// What `cordelo-cli record` costs to list a large record: the time to its first row and to its
// end, and the peak memory of the process, for each form of the listing.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace bench {

struct ListingRun {
    std::chrono::duration<double, std::milli> firstRow{};
    std::chrono::duration<double, std::milli> total{};
    // The process's peak resident memory.
    long peakKiB = 0;
    long long lines = 0;
};

// cordelo-cli (in `directory`) listing `target` with `options` (--csv, --json or none), read
// through a pipe as a script reads it, the median of `runs` runs by total time; nothing when
// it failed. `headerLines` is how many lines come before the first row.
std::optional<ListingRun> MeasureListing(const QString& directory, const QString& target,
                                         const QStringList& options, int headerLines, int runs);

} // namespace bench
