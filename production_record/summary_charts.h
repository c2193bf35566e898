// The summary page's charts, drawn here as SVG (no script, nothing loaded from elsewhere),
// each as wide as a printed A4 page's text and scaled down on a narrower screen: yields per day
// with a line per bench, the line's units per day, the failure reasons over the period, and
// the rows each values list has left.
#pragma once

#include "record_summary.h"

#include <QString>
#include <QStringList>

namespace production_record {

// A text of the record as the page and its charts show it: control characters as \xNN, and
// escaped, so that nothing a module or a bench sent is read as markup.
QString PageText(const QString& text);

// The colour of each bench in the yield charts, by bench in name order.
QStringList BenchColours(const QStringList& benches);
QStringList BenchesOf(const RecordSummary& summary);

// First-pass (or final) yield per local day: a line per bench and a heavier one for the line.
QString YieldChart(const RecordSummary& summary, bool firstPass);

// The line's units per day, by first pass, passed later and still failing, with the modules
// not written beside them.
QString DayTotalsChart(const RecordSummary& summary);

// The reasons for failures over the period, most units first, with their running share.
QString ReasonsChart(const RecordSummary& summary);

// A bar per values list: rows given and rows left.
QString ValuesLeftChart(const RecordSummary& summary);

inline const QString kFirstPassColour = QStringLiteral("#2e7d32");
inline const QString kPassedLaterColour = QStringLiteral("#9ccc65");
inline const QString kFailingColour = QStringLiteral("#c62828");
inline const QString kNotWrittenColour = QStringLiteral("#9e9e9e");

} // namespace production_record
