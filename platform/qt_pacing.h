// Pacing on the real clock and the Qt event loop.
#pragma once

#include "pacing.h"

namespace platform {

class QtPacing : public Pacing {
public:
    Clock::time_point now() const override { return Clock::now(); }
    void sleepFor(std::chrono::milliseconds duration) override;
    void processEvents() override;
};

} // namespace platform
