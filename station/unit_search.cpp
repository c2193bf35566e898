#include "unit_search.h"

#include "production_record/printable_text.h"
#include "production_record/unit_history.h"

namespace station {

UnitSearch::UnitSearch(ProductionLine& line, StationWindow& window)
    : QObject(&window), m_window(window), m_reads(line) {
    connect(&window, &StationWindow::findRequested, this, &UnitSearch::find);
}

void UnitSearch::find(const QString& code) {
    const QString given = m_window.jobForm()->recordTarget();
    if (given.isEmpty()) {
        m_window.showFindOutcome(tr("Finding a unit needs a record: give the job's Record an "
                                    "SQLite file or a postgresql:// address."),
                                 true);
        return;
    }
    const auto target = production_record::ParseRecordTarget(given);
    if (const auto* refusal = std::get_if<QString>(&target)) {
        m_window.showFindOutcome(tr("Cannot find a unit in the record: %1").arg(*refusal), true);
        return;
    }
    const QString shown = production_record::PrintableText(code);
    m_window.showFindOutcome(tr("Looking for %1 in the record…").arg(shown), false);
    m_reads.read<production_record::FoundUnit>(
        std::get<production_record::RecordTarget>(target),
        [code](production_record::RecordConnection& connection) {
            return production_record::FindUnit(connection, code);
        },
        [this, shown](const production_record::FoundUnit& found) {
            if (const auto* error = std::get_if<QString>(&found))
                m_window.showFindOutcome(tr("Cannot read the record: %1").arg(*error), true);
            else if (const auto& history =
                         std::get<std::optional<production_record::UnitHistory>>(found))
                m_window.showHistory(*history);
            else
                m_window.showFindOutcome(tr("No unit with the code %1 in the record.").arg(shown),
                                         true);
        });
}

} // namespace station
