#include "line_tally.h"

#include "slot_worker.h"

namespace station {

FinishedUnit LineTally::count(const production_run::ModuleOutcome& outcome, const QDateTime& at) {
    const bool passed = outcome.status == production_run::ExitStatus::Done;
    (passed ? m_passed : m_failed) += 1;
    const QString key = AddressKey(outcome.deviceAddress);
    // A module known by no address cannot be told apart from the next: each counts as new.
    if (key.isEmpty() || !m_tried.contains(key)) {
        if (!key.isEmpty())
            m_tried.insert(key);
        m_passedFirstTime += passed ? 1 : 0;
        m_firstTries += 1;
    }
    FinishedUnit unit{at,
                      outcome.port,
                      outcome.deviceAddress,
                      outcome.unit,
                      outcome.settings ? outcome.settings->name.value_or(QString()) : QString(),
                      passed,
                      passed ? QString() : outcome.message.section(QLatin1Char('\n'), 0, 0)};
    m_recent.prepend(unit);
    if (m_recent.size() > kRecentUnits)
        m_recent.removeLast();
    return unit;
}

LineFigures LineTally::figures(Clock::time_point now) const {
    LineFigures figures;
    figures.passed = m_passed;
    figures.failed = m_failed;
    const double hours = std::chrono::duration<double, std::ratio<3600>>(now - m_started).count();
    figures.unitsPerHour = hours > 0 ? m_passed / hours : 0;
    if (m_firstTries > 0)
        figures.firstPassYield = static_cast<double>(m_passedFirstTime) / m_firstTries;
    figures.valuesLeft = m_valuesLeft;
    return figures;
}

} // namespace station
