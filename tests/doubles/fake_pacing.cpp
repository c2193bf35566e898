#include "fake_pacing.h"

namespace doubles {

void FakePacing::sleepFor(std::chrono::milliseconds duration) {
    m_sleeps.push_back(duration);
    m_now += duration;
    if (m_onSleep)
        m_onSleep();
}

void FakePacing::processEvents() {
    ++m_eventRuns;
    if (m_onEvents)
        m_onEvents(m_eventRuns);
}

std::chrono::milliseconds FakePacing::elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - m_start);
}

void FakePacing::clearCounts() {
    m_sleeps.clear();
    m_eventRuns = 0;
}

} // namespace doubles
