#include "unit_search.h"

#include "window_words.h"

#include "production_record/printable_text.h"
#include "production_record/unit_history.h"
#include "production_run/label_reprint.h"

namespace station {

UnitSearch::UnitSearch(ProductionLine& line, StationWindow& window)
    : QObject(&window), m_window(window), m_reads(line) {
    connect(&window, &StationWindow::findRequested, this, &UnitSearch::find);
    connect(window.historyView(), &UnitHistoryView::reprintRequested, this,
            &UnitSearch::printLabelAgain);
}

std::variant<production_record::RecordTarget, QString> UnitSearch::target() const {
    const QString given = m_window.jobForm()->recordTarget();
    if (given.isEmpty())
        return tr("Finding a unit needs a record: give the job's Record an SQLite file or a "
                  "postgresql:// address.");
    auto parsed = production_record::ParseRecordTarget(given);
    if (const auto* refusal = std::get_if<QString>(&parsed))
        return tr("Cannot look in the record: %1").arg(*refusal);
    return std::get<production_record::RecordTarget>(std::move(parsed));
}

void UnitSearch::find(const QString& code) {
    const auto record = target();
    if (const auto* refusal = std::get_if<QString>(&record)) {
        m_window.showFindOutcome(*refusal, true);
        return;
    }
    const QString shown = production_record::PrintableText(code);
    m_window.showFindOutcome(tr("Looking for %1 in the record…").arg(shown), false);
    m_reads.read<production_record::FoundUnit>(
        std::get<production_record::RecordTarget>(record),
        [code](production_record::RecordConnection& connection) {
            return production_record::FindUnit(connection, code);
        },
        [this, shown](const production_record::FoundUnit& found) {
            if (const auto* error = std::get_if<QString>(&found)) {
                m_window.showFindOutcome(tr("Cannot read the record: %1").arg(*error), true);
                return;
            }
            const auto& history = std::get<std::optional<production_record::UnitHistory>>(found);
            if (!history) {
                m_window.showFindOutcome(tr("No unit with the code %1 in the record.").arg(shown),
                                         true);
                return;
            }
            m_window.showHistory(*history);
            m_window.historyView()->setReprintRefusal(reprintRefusal(*history).value_or(QString()));
        });
}

std::optional<QString>
UnitSearch::reprintRefusal(const production_record::UnitHistory& history) const {
    if (!production_record::LatestPassingWrite(history))
        return tr("This unit never passed a write: it has no label to print again.");
    production_run::Job labelled;
    if (const auto refused = m_window.jobForm()->labelFields()->fillJob(labelled))
        return *refused;
    if (labelled.labelTemplate.isEmpty())
        return tr("The job prints no labels: choose its label, and where labels go, in the job.");
    return std::nullopt;
}

void UnitSearch::printLabelAgain(const production_record::UnitHistory& history) {
    UnitHistoryView* view = m_window.historyView();
    const auto record = target();
    std::optional<QString> refused = std::get_if<QString>(&record)
                                         ? std::optional(std::get<QString>(record))
                                         : reprintRefusal(history);
    if (refused) {
        view->showReprinted(*refused, true);
        return;
    }
    production_run::Job labelled;
    m_window.jobForm()->labelFields()->fillJob(labelled);
    const bool toPrinter = !labelled.labelPrinter.isEmpty();
    // The unit by its address, which no other unit has.
    const production_run::LabelReprint reprint{
        labelled.labelTemplate, history.deviceAddress,
        toPrinter ? production_run::ReprintOutput::Printer
                  : production_run::ReprintOutput::PdfFolder,
        toPrinter ? labelled.labelPrinter : labelled.labelPdfFolder, m_window.jobForm()->bench()};
    view->reprintButton()->setEnabled(false);
    view->showReprinted(tr("Printing the label again…"), false);
    m_reads.work<production_run::Reprinted>(
        [target = std::get<production_record::RecordTarget>(record),
         reprint](production_record::RecordWaits waits) {
            return production_run::ReprintFromRecord(target, waits, reprint);
        },
        [this, record](const production_run::Reprinted& reprinted) {
            const label_print::LabelPrint& print = reprinted.print;
            const bool done = reprinted.status == production_run::ExitStatus::Done;
            const QString told =
                done ? tr("Label printed again to %1.").arg(print.where)
                : print.printed
                    ? print.reason
                    : tr("LABEL NOT PRINTED AGAIN: %1").arg(InTheWindowsWords(print.reason));
            showAgain(std::get<production_record::RecordTarget>(record), told, !done);
        });
}

void UnitSearch::showAgain(const production_record::RecordTarget& record, const QString& told,
                           bool problem) {
    UnitHistoryView* view = m_window.historyView();
    const QString address = view->history().deviceAddress;
    // The history again, with the label just printed or tried among its labels.
    m_reads.read<production_record::FoundUnit>(
        record,
        [address](production_record::RecordConnection& connection) {
            return production_record::FindUnit(connection, address);
        },
        [this, view, address, told, problem](const production_record::FoundUnit& found) {
            const auto* history =
                std::get_if<std::optional<production_record::UnitHistory>>(&found);
            if (history && *history && view->history().deviceAddress == address) {
                view->showHistory(**history);
                view->setReprintRefusal(reprintRefusal(**history).value_or(QString()));
            } else {
                view->reprintButton()->setEnabled(true);
            }
            view->showReprinted(told, problem);
        });
}

} // namespace station
