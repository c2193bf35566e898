#include "line_tally.h"

#include "production_record/record_filter.h"

#include <algorithm>

namespace station {
namespace {

using production_run::ExitStatus;

// A unit is a module that was sent a write command. One refused before any (a clone, values
// refused for it, a record that cannot be used), never reached (the port), of the wrong
// firmware or giving no settings is no unit that failed, and is left out of the figures.
bool IsUnitOutcome(const production_run::ModuleOutcome& outcome) {
    return outcome.status == ExitStatus::Done || !outcome.written.isEmpty() ||
           !outcome.failed.isEmpty();
}

} // namespace

FinishedUnit LineTally::count(const production_run::ModuleOutcome& outcome, const QDateTime& at,
                              Clock::time_point now) {
    const bool passed = outcome.status == ExitStatus::Done;
    if (IsUnitOutcome(outcome)) {
        QString key = production_record::AddressKey(outcome.deviceAddress);
        if (key.isEmpty())
            key = QStringLiteral("no address %1").arg(++m_unaddressed);
        const bool known = m_units.contains(key);
        Unit& unit = m_units[key];
        if (!known)
            unit.passedFirstTime = passed;
        // Written again and passed again (Again), it stays the unit that passed back then.
        if (!passed)
            unit.passedSince.reset();
        else if (!unit.passedSince)
            unit.passedSince = now;
    }
    FinishedUnit unit{at,
                      outcome.port,
                      outcome.deviceAddress,
                      outcome.unit,
                      outcome.settings ? outcome.settings->name.value_or(QString()) : QString(),
                      passed,
                      passed ? QString() : outcome.message.section(QLatin1Char('\n'), 0, 0),
                      outcome.rowSpooled};
    m_recent.prepend(unit);
    if (m_recent.size() > kRecentUnits)
        m_recent.removeLast();
    return unit;
}

LineFigures LineTally::figures(Clock::time_point now) const {
    LineFigures figures;
    int firstPasses = 0;
    int recentPasses = 0;
    for (const Unit& unit : m_units) {
        firstPasses += unit.passedFirstTime ? 1 : 0;
        if (unit.passedSince) {
            figures.passed += 1;
            recentPasses += now - *unit.passedSince <= kRateWindow ? 1 : 0;
        }
    }
    figures.failed = static_cast<int>(m_units.size()) - figures.passed;
    // Within the first hour, the rate is over the time the station has been up, though not
    // less than a few minutes: the first units of the day are no rate of thousands an hour.
    const auto window =
        std::clamp<Clock::duration>(now - m_started, kShortestRateWindow, kRateWindow);
    const double hours = std::chrono::duration<double, std::ratio<3600>>(window).count();
    figures.unitsPerHour = recentPasses / hours;
    if (!m_units.isEmpty())
        figures.firstPassYield = static_cast<double>(firstPasses) / m_units.size();
    figures.valuesLeft = m_valuesLeft;
    return figures;
}

} // namespace station
