// Pacing on a virtual clock: sleeps advance it at once, and tests can run code when
// events are let through, as a user acting during a wait would.
#pragma once

#include "platform/pacing.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace doubles {

class FakePacing : public platform::Pacing {
public:
    Clock::time_point now() const override { return m_now; }
    void sleepFor(std::chrono::milliseconds duration) override;
    void processEvents() override;
    // Moves the clock on without counting a sleep, as a port that waits for input does.
    void advanceTo(Clock::time_point at) { m_now = std::max(m_now, at); }

    // Milliseconds since the double was created.
    std::chrono::milliseconds elapsed() const;
    const std::vector<std::chrono::milliseconds>& sleeps() const { return m_sleeps; }
    int eventRuns() const { return m_eventRuns; }
    void clearCounts();

    // Runs on every processEvents(), with the number of that run (1, 2, ...).
    void setOnEvents(std::function<void(int run)> hook) { m_onEvents = std::move(hook); }
    // Runs after every sleep, once the clock has moved.
    void setOnSleep(std::function<void()> hook) { m_onSleep = std::move(hook); }

private:
    Clock::time_point m_start = Clock::time_point{} + std::chrono::hours(1);
    Clock::time_point m_now = m_start;
    std::vector<std::chrono::milliseconds> m_sleeps;
    int m_eventRuns = 0;
    std::function<void(int)> m_onEvents;
    std::function<void()> m_onSleep;
};

} // namespace doubles
