// What the test process itself uses: heap in use, to catch a flood that piles up, and
// CPU time while the event loop runs, to catch a lost port that spins.
#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace drills {

// Bytes allocated and not yet freed, on every thread. Unlike the resident size, it does
// not keep what the allocator holds on to after a large block was freed, so it says
// what the program still keeps, whatever the machine's allocator does.
qint64 LiveHeapBytes();

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
