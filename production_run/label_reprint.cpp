#include "label_reprint.h"

#include "label_values_from_record.h"

#include "label_print/label_pdf.h"
#include "label_print/label_png.h"
#include "label_print/label_printer.h"
#include "label_print/label_template_file.h"
#include "production_record/label_rows.h"
#include "production_record/record_filter.h"
#include "production_record/record_schema.h"
#include "production_record/unit_history.h"

namespace production_run {
namespace {

Reprinted NotPrinted(ExitStatus status, const QString& why) {
    return {status, {false, {}, why}, std::nullopt, {}};
}

// A reprint, printed or not, in the record beside the unit's first label. The record is made
// ready for labels here, since a record of an older layout has no table for them.
std::optional<QString> NoteReprint(const production_record::RecordTarget& target,
                                   production_record::RecordWaits waits,
                                   const production_record::LabelRow& label) {
    production_record::RecordConnection connection(
        target, production_record::RecordConnection::Mode::ReadWrite, waits);
    if (const auto refusal = production_record::PrepareSchema(connection))
        return refusal;
    return production_record::AddLabelRow(connection, label);
}

} // namespace

Reprinted ReprintFromRecord(const production_record::RecordTarget& target,
                            production_record::RecordWaits waits, const LabelReprint& reprint) {
    // Found without writing: a target that holds no record is not made one.
    production_record::RecordConnection reader(
        target, production_record::RecordConnection::Mode::ReadOnly, waits);
    const auto found = production_record::FindUnit(reader, reprint.code);
    if (const auto* error = std::get_if<QString>(&found))
        return NotPrinted(
            reader.wasInterrupted() ? ExitStatus::Interrupted : ExitStatus::RecordFailed, *error);
    const auto& history = std::get<std::optional<production_record::UnitHistory>>(found);
    if (!history)
        return NotPrinted(
            ExitStatus::Usage,
            QStringLiteral("the record %1 knows no unit %2").arg(target.key, reprint.code));
    const auto passed = production_record::LatestPassingWrite(*history);
    if (!passed) {
        Reprinted refused = NotPrinted(
            ExitStatus::Usage,
            QStringLiteral("unit %1 (%2) never passed a write, so it has no label to print again")
                .arg(history->unit ? QString::number(*history->unit) : QStringLiteral("-"),
                     history->deviceAddress));
        refused.unit = history->unit;
        refused.deviceAddress = history->deviceAddress;
        return refused;
    }
    const label_print::LabelValues values = LabelValuesFromRow(*passed);
    Reprinted reprinted{ExitStatus::Done, {}, values.unit, values.address};
    const auto label = label_print::LoadLabelTemplate(reprint.labelTemplate, values.bench);
    if (const auto* refusal = std::get_if<QString>(&label)) {
        reprinted.status = ExitStatus::Usage;
        reprinted.print.reason = *refusal;
        return reprinted;
    }
    const auto& chosen = std::get<profile::LabelTemplate>(label);
    switch (reprint.output) {
    case ReprintOutput::Png:
        reprinted.print = label_print::WriteLabelPng(reprint.where, chosen, values);
        if (!reprinted.print.printed)
            reprinted.status = ExitStatus::OpenFailed;
        // A preview is no label: the record does not note it.
        return reprinted;
    case ReprintOutput::Printer:
        if (const auto missing = label_print::PrinterMissing(reprint.where)) {
            reprinted.status = ExitStatus::Usage;
            reprinted.print.reason = QStringLiteral("--printer: ") + *missing;
            return reprinted;
        }
        reprinted.print = label_print::PrintLabel(reprint.where, chosen, values);
        break;
    case ReprintOutput::PdfFolder:
        reprinted.print = label_print::WriteLabelPdf(reprint.where, chosen, values);
        break;
    }
    if (!reprinted.print.printed)
        reprinted.status = ExitStatus::OpenFailed;
    const production_record::LabelRow row{production_record::AddressKey(values.address),
                                          values.unit,
                                          QDateTime::currentDateTimeUtc(),
                                          reprint.bench,
                                          reprint.labelTemplate,
                                          reprinted.print.where,
                                          reprinted.print.printed,
                                          reprinted.print.reason,
                                          true};
    if (const auto error = NoteReprint(target, waits, row)) {
        reprinted.status = ExitStatus::RecordFailed;
        reprinted.print.reason = reprinted.print.printed
                                     ? QStringLiteral("the label was printed to %1, but the record "
                                                      "could not note it: %2")
                                           .arg(reprinted.print.where, *error)
                                     : reprinted.print.reason +
                                           QStringLiteral("; nor could the record note it: ") +
                                           *error;
    }
    return reprinted;
}

} // namespace production_run
