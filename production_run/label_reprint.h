// One unit's label again from the record, as it was on the day the unit passed: to a PDF
// folder or a printer (noted in the record as a reprint), or as a PNG preview (not noted).
#pragma once

#include "exit_status.h"

#include "label_print/label_outcome.h"
#include "production_record/record_connection.h"

#include <QString>

#include <optional>

namespace production_run {

enum class ReprintOutput { PdfFolder, Printer, Png };

struct LabelReprint {
    // "default" or a template file.
    QString labelTemplate;
    // The unit: its device address in any spelling, or its unit number.
    QString code;
    ReprintOutput output = ReprintOutput::PdfFolder;
    // The folder, the printer or the PNG file.
    QString where;
    // The bench that prints it again, as the record notes it.
    QString bench;
};

struct Reprinted {
    ExitStatus status = ExitStatus::Done;
    // Where the label went, or why it did not (the record, the unit, the template, the
    // printer or the file).
    label_print::LabelPrint print;
    std::optional<int> unit;
    QString deviceAddress;
};

// Waits for the record and the printer, within the record's waits: a window calls it off its
// own thread.
Reprinted ReprintFromRecord(const production_record::RecordTarget& target,
                            production_record::RecordWaits waits, const LabelReprint& reprint);

} // namespace production_run
