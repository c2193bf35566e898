// The line's figures over the station's day: units passed and failed (a unit is a module known
// by its address, counted by its latest outcome), units per hour over the last hour, first-pass
// yield over units, and the last units finished.
#pragma once

#include "slot_state.h"

#include "production_run/module_job.h"

#include <QHash>
#include <QList>

#include <chrono>
#include <optional>

namespace station {

class LineTally {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr qsizetype kRecentUnits = 20;
    // Units per hour are the units that passed within this long before now.
    static constexpr std::chrono::hours kRateWindow{1};
    static constexpr std::chrono::minutes kShortestRateWindow{5};

    explicit LineTally(Clock::time_point started = Clock::now()) : m_started(started) {}

    // Counts a module that was tried, at `now`; returns it as the list of recent units shows it.
    FinishedUnit count(const production_run::ModuleOutcome& outcome, const QDateTime& at,
                       Clock::time_point now = Clock::now());
    void setValuesLeft(std::optional<int> left) { m_valuesLeft = left; }

    LineFigures figures(Clock::time_point now = Clock::now()) const;
    const QList<FinishedUnit>& recent() const { return m_recent; }

private:
    struct Unit {
        bool passedFirstTime = false;
        // Since when its latest outcome is a pass; nothing while it stands failed.
        std::optional<Clock::time_point> passedSince;
    };

    Clock::time_point m_started;
    // By address key; a module known by no address is a unit of its own, under a key with a
    // blank, which no address key has.
    QHash<QString, Unit> m_units;
    int m_unaddressed = 0;
    std::optional<int> m_valuesLeft;
    QList<FinishedUnit> m_recent;
};

} // namespace station
