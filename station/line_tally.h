// The line's figures since it started: units passed and failed, units per hour, first-pass
// yield, and the last units finished.
#pragma once

#include "slot_state.h"

#include "production_run/module_job.h"

#include <QList>
#include <QSet>

#include <chrono>

namespace station {

class LineTally {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr qsizetype kRecentUnits = 20;

    explicit LineTally(Clock::time_point started = Clock::now()) : m_started(started) {}

    // Counts a module that was tried; returns it as the list of recent units shows it.
    FinishedUnit count(const production_run::ModuleOutcome& outcome, const QDateTime& at);
    void setValuesLeft(std::optional<int> left) { m_valuesLeft = left; }

    LineFigures figures(Clock::time_point now = Clock::now()) const;
    const QList<FinishedUnit>& recent() const { return m_recent; }

private:
    Clock::time_point m_started;
    int m_passed = 0;
    int m_failed = 0;
    // Modules by their address key, once tried; and those that passed at their first try.
    QSet<QString> m_tried;
    int m_firstTries = 0;
    int m_passedFirstTime = 0;
    std::optional<int> m_valuesLeft;
    QList<FinishedUnit> m_recent;
};

} // namespace station
