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

// Starts the program offscreen `runs` times; empty when it never reported a paint.
std::vector<StartupRun> MeasureStartup(const QString& program, int runs);

} // namespace bench
