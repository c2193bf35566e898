// The summary as tables of plain text (for the terminal, CSV and the page alike) and as JSON.
#pragma once

#include "record_summary.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>

namespace production_record {

// A header line, then one line per bench and day: bench, day, units, passed, failed,
// first-pass units, first-pass yield, and the commonest failures.
QList<QStringList> DayTable(const RecordSummary& summary);

// A header line, then one line per values list: its name, rows, rows given and rows left.
QList<QStringList> ListTable(const RecordSummary& summary);

// "3 × mismatch: the module holds other values …"
QString ReasonText(const FailureReason& reason);

QJsonObject SummaryJson(const RecordSummary& summary);

} // namespace production_record
