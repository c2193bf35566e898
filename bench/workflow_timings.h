// The tool's own operations against the virtual module at 9600-baud pacing: Connect,
// Refresh and Write timed from the click, and the processor time of an idle connection.
#pragma once

#include <chrono>
#include <vector>

namespace bench {

using Milliseconds = std::chrono::duration<double, std::milli>;

struct WorkflowTimings {
    std::vector<Milliseconds> connect;
    std::vector<Milliseconds> refresh;
    std::vector<Milliseconds> write;
};

WorkflowTimings MeasureWorkflow(int runs);

// Share of one core that the window's thread uses while connected and idle.
double MeasureIdleCpuPercent(std::chrono::seconds duration);

} // namespace bench
