// The summary as tables of plain text (for the terminal, CSV and the page alike) and as JSON.
#pragma once

#include "record_summary.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>

namespace production_record {

// For people (a yield as "75.0%", the modules not written as one text, a line-wide total at
// the end) or for a spreadsheet (numbers only, one column each, no total: it adds up).
enum class TableUse { People, Spreadsheet };

// A header line, then one line per bench and day: the units, first pass, passed later and
// still failing, both yields, the modules not written, and the commonest failures.
QList<QStringList> DayTable(const RecordSummary& summary, TableUse use);

// A header line, then one line per values list: its name, rows, rows given, rows left, and
// when and where it was last used.
QList<QStringList> ListTable(const RecordSummary& summary, TableUse use);

// "3 × mismatch: the module holds other values …"
QString ReasonText(const FailureReason& reason);

// "2 refused, 1 no module", or "" when every module was written.
QString NotWrittenText(const NotWritten& notWritten);

// "75.0%", or "" for no unit.
QString YieldText(const std::optional<double>& yield);

QJsonObject SummaryJson(const RecordSummary& summary);

} // namespace production_record
