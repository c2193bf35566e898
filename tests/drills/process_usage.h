// What the test process itself uses: resident memory, to catch a flood that grows
// it, and CPU time while the event loop runs, to catch a lost port that spins.
#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace drills {

// Resident set size in bytes.
qint64 ResidentBytes();

struct TimeUsed {
    std::chrono::microseconds cpu{0};
    std::chrono::microseconds wall{0};

    // Far from a busy loop, which would take about as much CPU time as wall time.
    bool isMostlyIdle() const { return cpu * 3 < wall; }
};

// Runs the event loop until the condition holds or the timeout passed, and says how
// much CPU time this process used meanwhile.
TimeUsed RunEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

} // namespace drills
