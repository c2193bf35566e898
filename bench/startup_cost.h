// Start-up to first paint and peak memory of a program, over several runs.
#pragma once

#include <QString>

#include <chrono>
#include <vector>

namespace bench {

struct StartupRun {
    std::chrono::duration<double, std::milli> toFirstPaint{};
    long peakKiB = 0;
};

struct StartupComparison {
    std::vector<StartupRun> program;
    std::vector<StartupRun> baseline;
};

// Starts the program and the baseline offscreen `runs` times each, taking turns, so that
// a slow or fast spell of the machine falls on both alike. Runs come in pairs, one of
// each, started one after the other; a pair with a run that never reported a paint is
// left out.
StartupComparison CompareStartup(const QString& program, const QString& baseline, int runs);

} // namespace bench
