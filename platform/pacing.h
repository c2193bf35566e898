// Time and event pacing for the polling waits: sleep, read the clock, let pending
// window events run once.
#pragma once

#include <chrono>

namespace platform {

class Pacing {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~Pacing() = default;

    virtual Clock::time_point now() const = 0;
    // A plain blocking sleep: no window events run during it.
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
    virtual void processEvents() = 0;
};

} // namespace platform
