// cordelo-cli's read and write (with its verifying query) against the virtual module at
// 9600-baud pacing, with the bytes each put on the line both ways.
#pragma once

#include <chrono>
#include <vector>

namespace bench {

struct CliRuns {
    std::vector<std::chrono::duration<double, std::milli>> times;
    // Bytes sent and received in one run; every run exchanges the same.
    long long bytes = 0;
};

struct CliTimings {
    CliRuns read;
    CliRuns write;
};

CliTimings MeasureCli(int runs);

} // namespace bench
