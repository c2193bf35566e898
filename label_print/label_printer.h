// A label sent to a printer of the system through Qt Print Support (a CUPS queue on Linux, a
// Windows printer, a label printer through its driver), painted at the printer's resolution.
#pragma once

#include "label_outcome.h"
#include "label_values.h"

#include <optional>

namespace label_print {

// Why nothing can be printed on PRINTER at all (the system has no printer of that name), or
// nothing: asked before any module is written.
std::optional<QString> PrinterMissing(const QString& printer);

LabelPrint PrintLabel(const QString& printer, const profile::LabelTemplate& label,
                      const LabelValues& values);

} // namespace label_print
